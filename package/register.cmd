@echo off
rem register.cmd [/machine]
rem Registers tolvex11.dll, tolvex10.dll and velk10.dll from this folder: x86\ for 32-bit
rem programs and, on 64-bit Windows, x64\ for 64-bit programs.
rem   (no option)  for the current user, under HKEY_CURRENT_USER\Software\Classes
rem                (regsvr32 /n /i:user), no administrator rights needed;
rem   /machine     for every user of the machine (plain regsvr32), as administrator.
rem unregister.cmd runs this script with /u first, which unregisters in reverse order.
rem Stops at the first DLL that fails, with exit code 1 (2 for a wrong option).
setlocal EnableExtensions
set "here=%~dp0"
set "action=register"
set "done=Registered"
set "dlls=tolvex11 tolvex10 velk10"
set "undo="
set "scope=user"

:options
if "%~1"=="" goto chosen
if /i "%~1"=="/u" goto option_u
if /i "%~1"=="/machine" goto option_machine
echo Unknown option: %1
echo Usage: register.cmd [/machine]  or  unregister.cmd [/machine]
exit /b 2
:option_u
set "action=unregister"
set "done=Unregistered"
set "dlls=velk10 tolvex10 tolvex11"
set "undo=/u"
shift
goto options
:option_machine
set "scope=machine"
shift
goto options

:chosen
if "%scope%"=="user" (set "flags=/s %undo% /n /i:user") else (set "flags=/s %undo%")
if "%scope%"=="user" (set "where=for the current user") else (set "where=for every user of this machine")

rem The 32-bit regsvr32 is in SysWOW64 on 64-bit Windows, in System32 on 32-bit Windows.
rem The 64-bit one is System32 seen from a 64-bit command window and SysNative seen from a
rem 32-bit one.
set "regsvr32_x86=%SystemRoot%\System32\regsvr32.exe"
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" set "regsvr32_x86=%SystemRoot%\SysWOW64\regsvr32.exe"
set "regsvr32_x64="
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" set "regsvr32_x64=%SystemRoot%\System32\regsvr32.exe"
if /i "%PROCESSOR_ARCHITEW6432%"=="AMD64" set "regsvr32_x64=%SystemRoot%\SysNative\regsvr32.exe"

if exist "%here%x86\" goto have_x86
echo Cannot %action%: there is no x86 folder in %here%
echo Run this script from the folder the package was unpacked into.
exit /b 1
:have_x86

set "bitnesses=x86"
set "failed="
call :folder x86 "%regsvr32_x86%"
if defined failed exit /b 1
if not defined regsvr32_x64 goto report
if exist "%here%x64\" goto have_x64
echo No x64 folder in %here%: 64-bit programs cannot use velk10.
goto report
:have_x64
set "bitnesses=x86 and x64"
call :folder x64 "%regsvr32_x64%"
if defined failed exit /b 1

:report
echo %done% velk10 %where% [%bitnesses%].
exit /b 0

rem :folder <x86|x64> <regsvr32 of that bitness>: each DLL of the folder in order, up to
rem the first that fails.
:folder
for %%d in (%dlls%) do if not defined failed call :one %1 %%d %2
exit /b 0

rem :one <folder> <dll name> <regsvr32>: sets failed when it fails.
:one
set "dll=%here%%~1\%~2.dll"
if exist "%dll%" goto run
echo Cannot %action% %~1\%~2.dll: the file is missing. Stopped there: the DLLs after it were left as they were.
set "failed=1"
exit /b 1
:run
"%~3" %flags% "%dll%"
set "code=%errorlevel%"
if "%code%"=="0" goto ok
echo FAILED: regsvr32 could not %action% %~1\%~2.dll %where% [exit code %code%].
echo Stopped there: the DLLs after it were left as they were.
if "%scope%"=="machine" echo Machine-wide registration needs a command window run as administrator.
set "failed=1"
exit /b 1
:ok
echo %done% %~1\%~2.dll %where%.
exit /b 0

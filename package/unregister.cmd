@echo off
rem unregister.cmd [/machine]
rem Removes what register.cmd registered: for the current user, or with /machine for every
rem user of the machine (as administrator). Give the same option you registered with.
call "%~dp0register.cmd" /u %*

#pragma once
// The INI file handler's private side, for the debugger of the same maker: found by
// QueryInterface on the handler object, in-process only, in no type library. It holds the
// content lock of one file across several automation calls, so that a read, a change and
// another change of the file happen under one lock taken once.
#include <windows.h>
#include <unknwn.h>
#include <oaidl.h>

struct IIniFileHold : public IUnknown {
  // Puts Path = path (as the Path property does) and takes the file's content lock, making
  // the file when it is missing; fails as putting Path or changing the file would.
  virtual HRESULT STDMETHODCALLTYPE HoldFile(BSTR path) = 0;
  // Gives the lock back; nothing when none is held.
  virtual HRESULT STDMETHODCALLTYPE ReleaseFile() = 0;
};
__CRT_UUID_DECL(IIniFileHold, 0xaed6f1cb, 0x5aa6, 0x4981, 0xb1, 0x4b, 0x5c, 0x87, 0xf8, 0x26, 0x93, 0xe1)

#pragma once
// A file's identity: two handles with one identity reach one file, whatever names they
// were opened by; a file put in another's place by a rename has an identity of its own.
#include <windows.h>

#include <cstring>

namespace winkit {

struct FileIdentity {
  ULONGLONG volume = 0;
  BYTE id[16] = {};
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && std::memcmp(id, other.id, sizeof id) == 0;
  }
};

// The identity of the handle's file, as FileIdInfo (Windows 8 and later) gives it, or
// GetFileInformationByHandle on older systems (under Wine that asks the mount manager for
// the volume's serial number: several platform round trips a call). False when the
// platform cannot tell it.
inline bool IdentityOf(HANDLE file, FileIdentity* identity) {
  const auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
  if (GetFileInformationByHandleEx(file, kFileIdInfo, identity, sizeof *identity)) return true;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return false;
  *identity = FileIdentity{};
  identity->volume = info.dwVolumeSerialNumber;
  const ULONGLONG index = static_cast<ULONGLONG>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  std::memcpy(identity->id, &index, sizeof index);
  return true;
}

}  // namespace winkit

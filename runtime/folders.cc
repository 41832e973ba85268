#include "runtime/folders.h"

#include "runtime/dos_path.h"
#include "runtime/env.h"

namespace px {

namespace {

// Records the process's current folder as the current folder of its drive.
void RememberCurrentFolder() {
  GetDriveMap().NoteCurrentFolder(GetEnv()->CurrentDir());
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::string CURDRIVE() {
  const char drive = GetDriveMap().DriveOf(GetEnv()->CurrentDir(), nullptr);
  return drive == '\0' ? std::string() : std::string(1, drive);
}

bool SETCURDRIVE(const Value& drive) {
  if (!drive.is_string() || drive.str().empty() || !IsLetter(drive.str()[0])) return false;
  const char letter = drive.str()[0];
  if (!GetDriveMap().Root(letter)) return false;
  RememberCurrentFolder();
  Env* env = GetEnv();
  // "D:" is the drive's current folder (see DosToHost); a remembered folder that has
  // gone away leaves the root.
  if (env->ChangeDir(std::string(1, letter) + ":") == 0) return true;
  return env->ChangeDir(std::string(1, letter) + ":\\") == 0;
}

std::string GETCURDIR() {
  std::string dos = HostToDos(GetEnv()->CurrentDir());
  if (HasDrive(dos)) return dos.size() > 3 ? dos.substr(3) : std::string();
  // A folder outside every mapped drive has no drive part to cut.
  while (!dos.empty() && dos[0] == '\\') dos.erase(0, 1);
  return dos;
}

int DIRCHANGE(const Value& path) {
  if (!path.is_string()) return -1;
  RememberCurrentFolder();
  const int code = GetEnv()->ChangeDir(path.str());
  if (code == 0) RememberCurrentFolder();
  return code;
}

int MAKEDIR(const Value& path) {
  if (!path.is_string()) return -1;
  return GetEnv()->MakeDir(path.str());
}

}  // namespace px

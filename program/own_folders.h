// The folders that hold the program's own files, by their UTF-16 names. The program's folder
// and the user's folder are taken from the system as UTF-16 and their files are reached
// through the wide file functions with these names, never through a GBK copy: GBK cannot hold
// every folder name (Hangul, ß, ö), and the system's conversion to GBK puts a look-alike in
// place of some 400 characters (â becomes a), which can name another, existing folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The folder of the running program, without a trailing backslash; empty when the system names
// none.
std::u16string ProgramFolder();
// The user's local application data folder (CSIDL_LOCAL_APPDATA); empty when the system names
// none.
std::u16string LocalAppDataFolder();
// `folder` + '\' + `name`.
std::u16string PathIn(std::u16string_view folder, std::u16string_view name);

// Whether anything (a file or a folder) is at `path`.
bool SomethingAt(const std::u16string& path);
// Creates the file `path` with `bytes` as its content: only when nothing of that name is there
// (`replace` false), or in place of a file that is there (`replace` true). A file that could
// not be written whole is removed again. True when the file was written.
bool WriteNewFile(const std::u16string& path, const uint8_t* bytes, uint32_t size, uint32_t attributes,
                  bool replace);

// The user's Internet cache as the tests see it: the folder where WinINet keeps the pages it
// is allowed to cache, shared by every program of the prefix's user.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

// The paths of the files below `folder`, sorted; the cache's own index and folder files are
// left out.
inline void CollectCacheFiles(const std::string& folder, std::vector<std::string>* files) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) CollectCacheFiles(folder + "\\" + name, files);
    else if (lstrcmpiA(name.c_str(), "index.dat") != 0 && lstrcmpiA(name.c_str(), "desktop.ini") != 0)
      files->push_back(folder + "\\" + name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// The files of pages in the user's Internet cache, sorted.
inline std::vector<std::string> UrlCacheFiles() {
  char folder[MAX_PATH] = {};
  std::vector<std::string> files;
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_INTERNET_CACHE, nullptr, 0, folder))) return files;
  CollectCacheFiles(folder, &files);
  std::sort(files.begin(), files.end());
  return files;
}

// The files of the cache now that `before` (an earlier UrlCacheFiles()) does not hold.
inline std::vector<std::string> NewUrlCacheFiles(const std::vector<std::string>& before) {
  std::vector<std::string> now = UrlCacheFiles(), added;
  std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::back_inserter(added));
  return added;
}

// What the local stand-in service recorded, read from a test running inside its network
// (tools/standin/run-isolated.sh sets STANDIN_RECORD_DIR).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

// The stand-in's record directory as a Windows path; empty outside the stand-in's network.
inline std::string RecordDirectory() {
  const char* dir = std::getenv("STANDIN_RECORD_DIR");
  if (!dir) return "";
  std::string path = std::string("Z:") + dir;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// Every request the stand-in received, in order, as its request line.
inline std::vector<std::string> RequestLines() {
  std::vector<std::string> lines;
  const std::string directory = RecordDirectory();
  for (int i = 1; !directory.empty(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\req-%06d.bin", i);
    std::ifstream in(directory + name, std::ios::binary);
    if (!in) break;
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// What the local stand-in service recorded, read from a test running inside its network
// (tools/standin/run-isolated.sh sets STANDIN_RECORD_DIR).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
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

// The whole of recorded request `i` (1-based), and whether it came over TLS (from the side file
// the stand-in writes beside it); empty and false when there is none.
inline std::string RecordedRequest(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "\\req-%06d.bin", i);
  std::ifstream in(RecordDirectory() + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline bool RecordedOverTls(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "\\req-%06d.json", i);
  std::ifstream in(RecordDirectory() + name);
  std::string side((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return side.find("\"scheme\": \"https\"") != std::string::npos &&
         side.find("\"port\": 443") != std::string::npos;
}

// How each request the stand-in received arrived, in order, from its side file: the requests
// in flight then (itself included; for a refused one, those it would have joined) and the
// refusal status it got (0 when it was answered).
struct RequestArrival {
  int inFlight = 0;
  int refused = 0;
};

inline std::vector<RequestArrival> RequestArrivals() {
  std::vector<RequestArrival> arrivals;
  const std::string directory = RecordDirectory();
  auto number = [](const std::string& json, const char* key) {
    size_t at = json.find(std::string("\"") + key + "\":");
    return at == std::string::npos ? -1 : std::atoi(json.c_str() + at + std::strlen(key) + 3);
  };
  for (int i = 1; !directory.empty(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\req-%06d.bin", i);
    if (!std::ifstream(directory + name)) break;
    std::snprintf(name, sizeof name, "\\req-%06d.json", i);
    std::ifstream in(directory + name, std::ios::binary);
    std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    arrivals.push_back({number(json, "in_flight"), number(json, "refused")});
  }
  return arrivals;
}

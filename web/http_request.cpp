// 网页_访问: one HTTP exchange over WinINet, called through the declared DLL commands.
#include "http_request.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "dll_commands.h"
#include "window_routines.h"
#include "core_commands.h"
#include "encodings.h"
#include "program_values.h"
#include "request_thread.h"
#include "url.h"

using prog::AppendText;
using prog::AssignText;
using prog::JoinText;
using prog::TextArgument;
using prog::TextLength;

namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr const char* kAcceptLine =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";
constexpr const char* kAcceptLanguageLine = "Accept-Language: zh-cn\r\n";
constexpr const char* kFormLine = "Content-Type: application/x-www-form-urlencoded\r\n";
constexpr const char* kBadMethodNotice =
    "【网页_访问】命令的第二个【访问方式】参数有误,请返回修改";
constexpr const char* kSetCookie = "Set-Cookie: ";   // 12 bytes, blank included

constexpr uint32_t kOpenDirect = 1;                 // INTERNET_OPEN_TYPE_DIRECT
constexpr uint32_t kOpenProxy = 3;                  // INTERNET_OPEN_TYPE_PROXY
constexpr uint32_t kServiceHttp = 3;                // INTERNET_SERVICE_HTTP
constexpr uint32_t kFlagReload = 0x80000000;        // INTERNET_FLAG_RELOAD
constexpr uint32_t kQueryRawHeadersCrLf = 22;       // HTTP_QUERY_RAW_HEADERS_CRLF
constexpr uint32_t kQueryContentLength = 5;         // HTTP_QUERY_CONTENT_LENGTH
constexpr uint32_t kQueryNumber = 0x20000000;       // HTTP_QUERY_FLAG_NUMBER
constexpr uint32_t kOptionConnectTimeout = 2;       // INTERNET_OPTION_CONNECT_TIMEOUT
constexpr uint32_t kOptionSendTimeout = 5;          // INTERNET_OPTION_SEND_TIMEOUT
constexpr uint32_t kOptionReceiveTimeout = 6;       // INTERNET_OPTION_RECEIVE_TIMEOUT
constexpr uint32_t kTimeoutMs = 30000;              // per connect, send and receive
constexpr uint32_t kChunkSize = web::RequestThread::kChunkSize;
constexpr uint32_t kHeaderBufferSize = 2048;

// Whether the last call that returned read a whole response.
bool lastPageComplete = false;

// A WinINet handle closed when its holder ends, unless closed explicitly before. Holders are
// declared internet, connection, request, so every early return closes them in reverse order.
class InternetHandle {
 public:
  explicit InternetHandle(dll::Handle h) : handle_(h) {}
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  ~InternetHandle() { Close(); }
  explicit operator bool() const { return handle_ != 0; }
  dll::Handle Get() const { return handle_; }
  void Close() {
    if (handle_) dll::InternetCloseHandle(handle_);
    handle_ = 0;
  }

 private:
  dll::Handle handle_;
};

// A text variable of the caller, or a local one when the parameter was not given; the local
// one is freed at the end, which drops what the routine wrote into it.
class TextParameter {
 public:
  explicit TextParameter(char** variable) : variable_(variable ? variable : &local_) {}
  TextParameter(const TextParameter&) = delete;
  TextParameter& operator=(const TextParameter&) = delete;
  ~TextParameter() { core::Text dropped(local_); }
  const char* Get() const { return *variable_; }
  char** Variable() { return variable_; }
  bool Empty() const { return TextLength(*variable_) == 0; }

 private:
  char* local_ = nullptr;
  char** variable_;
};

// Appends a default header line unless the caller's headers already name its key, in any
// letter case.
void AddDefaultHeader(char** headers, const char* key, const char* line) {
  if (core::FindText(TextArgument(*headers), key, 1, true) == -1) AppendText(headers, line);
}

// Feeds every "Set-Cookie: " line of the response header block to the WinINet cookie store
// under "http://" + host: the name is what stands before the first "=", the value everything
// after it, attributes included. The lines are read from a memory file as the line reader
// splits them. The line reader stops in front of a 0x1A byte without consuming it, so such a
// byte in a header (servers may send one) would make it return empty lines at the same place
// for ever: it is written to the file as a blank instead, and the reading also stops should
// the file ever hold such a byte.
void StoreReceivedCookies(const char* headerText, const char* host) {
  headerText = TextArgument(headerText);
  if (core::FindText(headerText, kSetCookie, 1, true) == -1) return;
  core::Text url = JoinText("http://", host);
  core::Text lines = core::ReplaceSubtext(headerText, "\x1A", " ", {}, {}, true);
  int32_t file = core::OpenMemoryFile();
  core::WriteText(file, {TextArg(lines.c_str())});
  core::SeekToFileStart(file);
  while (!core::IsEndOfFile(file, false) && !core::IsEndOfFile(file, true)) {
    core::Text line = core::ReadLine(file);
    if (core::FindText(line.c_str(), kSetCookie, 1, true) == -1) continue;
    core::Text rest = core::TextRight(line.c_str(), core::TextLength(line.c_str()) - 12);
    int32_t e = core::FindText(rest.c_str(), "=");
    core::Text name = core::TextLeft(rest.c_str(), e - 1);
    core::Text value = core::TextRight(rest.c_str(), core::TextLength(rest.c_str()) - e);
    dll::InternetSetCookieA(url.get(), name.get(), value.get());
  }
  core::CloseFile(file);
}

// The body read in 1024-byte chunks until a read yields nothing (a failed read included).
// Waiting window messages are dispatched before every read and while it waits (the read runs
// on the request's thread); the body grows geometrically and is trimmed to its exact size at
// the end. *failed is set when a read failed or was not waited for to its end.
core::Bytes ReadBody(web::RequestThread& thread, dll::Handle request, bool* failed) {
  prog::ByteSetBuilder body;
  for (;;) {
    core::ProcessEvents();
    const uint8_t* chunk = nullptr;
    uint32_t count = 0;
    int32_t succeeded = 0;
    if (!thread.Read(request, &chunk, &count, &succeeded) || !succeeded) *failed = true;
    if (count == 0) break;
    body.Append(chunk, count < kChunkSize ? count : kChunkSize);
  }
  return core::Bytes(body.Finish());
}

// The two header queries made once the body is read, named to the request's thread before the
// send so that it makes them as soon as it meets the end of the body.
void PlanHeaderQueries(web::RequestThread& thread) {
  core::Text blanks = core::SpaceText(kHeaderBufferSize);
  thread.PlanQuery(kQueryRawHeadersCrLf, blanks.get(), kHeaderBufferSize);
  const uint32_t noLength = 0;
  thread.PlanQuery(kQueryContentLength | kQueryNumber, &noLength, sizeof noLength);
}

// The raw response header block. The buffer starts as 2048 blanks, so a block too large for
// it (the query then fails and leaves the buffer alone) reads as 2048 blanks. *hasStatusLine
// tells whether the server sent a status line: WinINet makes up "HTTP/1.0 200 OK" for an
// answer that starts without one, so a block of a status line and no header field is taken as
// such an answer; a block too large for the buffer has fields.
core::Text QueryHeaders(web::RequestThread& thread, dll::Handle request, bool* hasStatusLine) {
  core::Text buffer = core::SpaceText(kHeaderBufferSize);
  uint32_t length = kHeaderBufferSize;
  int32_t found = 0;
  thread.Query(request, kQueryRawHeadersCrLf, buffer.get(), &length, &found);
  if (found) {
    const char* lineEnd = std::strstr(buffer.c_str(), "\r\n");
    *hasStatusLine = std::strncmp(buffer.c_str(), "HTTP/", 5) == 0 && lineEnd &&
                     lineEnd[2] != '\r' && lineEnd[2] != '\0';
  } else {
    *hasStatusLine = length > kHeaderBufferSize;
  }
  return prog::CopyText(buffer.c_str());
}

// True when the response announced a Content-Length and the body fell short of it.
bool ShorterThanAnnounced(web::RequestThread& thread, dll::Handle request, uint32_t bodyLength) {
  uint32_t announced = 0, size = sizeof announced;
  int32_t found = 0;
  thread.Query(request, kQueryContentLength | kQueryNumber, &announced, &size, &found);
  return found && bodyLength < announced;
}

// Bounds every wait of the request: a server that accepts and never answers, or stops in the
// middle, ends the request with a failure after these times instead of holding it for ever.
// WinINet ignores them on the internet handle, so they are set on the request itself.
void SetTimeouts(dll::Handle request) {
  for (uint32_t option : {kOptionConnectTimeout, kOptionSendTimeout, kOptionReceiveTimeout})
    dll::InternetSetOptionA(request, option, &kTimeoutMs, sizeof kTimeoutMs);
}

// The body converted through its text form, which ends at the first zero byte; the converted
// bytes carry no terminator. The result goes to the routine's caller.
uint8_t* ConvertBody(core::Bytes body, int32_t conversion) {
  if (conversion != 1 && conversion != 2) return static_cast<uint8_t*>(body.Release());
  static const int32_t kEmptyByteSet[2] = {1, 0};
  core::Text text = core::ToText(BytesArg(body.empty() ? static_cast<const void*>(kEmptyByteSet) : body.get()));
  core::Text converted = conversion == 1 ? Utf8ToGbk(text.get()) : Big5ToGbkSimplified(text.get());
  return static_cast<uint8_t*>(core::ToByteSet(TextArg(converted.c_str())).Release());
}

}  // namespace

uint8_t* 网页_访问(char** urlVariable, int32_t method, char** proxyVariable,
                   char** requestHeadersVariable, char** postDataVariable,
                   char** cookiesVariable, int32_t charsetConversion,
                   char** responseHeadersVariable) {
  // Published as the call returns, on every path, after any call made by a handler that ran
  // during this one.
  struct Completeness {
    bool complete = false;
    ~Completeness() { lastPageComplete = complete; }
  } note;
  TextParameter url(urlVariable), proxy(proxyVariable), headers(requestHeadersVariable),
      postData(postDataVariable), cookies(cookiesVariable), responseHeaders(responseHeadersVariable);

  AssignText(url.Variable(), core::TrimSpaces(TextArgument(url.Get())));

  const char* methodText;
  if (method == 0) methodText = "GET";
  else if (method == 1) methodText = "POST";
  else {
    ShowNotice(kBadMethodNotice);
    return nullptr;
  }

  // Addresses without a scheme are taken as plain HTTP; "https://" is kept, but the request
  // still goes out as plain HTTP on the port UrlPort gives.
  {
    bool http = std::strcmp(core::TextLeft(TextArgument(url.Get()), 7).c_str(), "http://") == 0;
    bool https = std::strcmp(core::TextLeft(TextArgument(url.Get()), 8).c_str(), "https://") == 0;
    if (!http && !https) AssignText(url.Variable(), JoinText("http://", url.Get()));
  }
  core::Text host = UrlHost(url.Get()), path = UrlPath(url.Get());

  core::Text proxyCompact = core::RemoveAllSpaces(TextArgument(proxy.Get()));
  core::Text proxyText = JoinText("http=", proxy.Get());
  InternetHandle internet(proxyCompact.empty()
                              ? dll::InternetOpenA(kUserAgent, kOpenDirect, nullptr, nullptr, 0)
                              : dll::InternetOpenA(kUserAgent, kOpenProxy, proxyText.get(), "", 0));
  if (!internet) return nullptr;
  InternetHandle connection(dll::InternetConnectA(internet.Get(), host.get(), UrlPort(url.Get()),
                                                  nullptr, nullptr, kServiceHttp, 0, 0));
  if (!connection) return nullptr;
  web::RequestThread thread;
  InternetHandle request(dll::HttpOpenRequestA(connection.Get(), methodText, path.get(),
                                               "HTTP/1.1", nullptr, nullptr, kFlagReload,
                                               thread.Context()));
  if (!request) return nullptr;
  SetTimeouts(request.Get());
  thread.WatchRedirects(request.Get());

  char** lines = headers.Variable();
  AddDefaultHeader(lines, "Accept: ", kAcceptLine);
  {
    core::Text referer = JoinText("Referer: ", url.Get(), "\r\n");
    AddDefaultHeader(lines, "Referer: ", referer.get());
  }
  AddDefaultHeader(lines, "Accept-Language: ", kAcceptLanguageLine);

  // The send's result is not tested: a failed send shows up as a failed first read.
  core::Text cookieLine = JoinText("Cookie: ", cookies.Get(), "\r\n\r\n");
  core::Text verb = core::ToUpper(methodText);
  int32_t sent = 0;
  PlanHeaderQueries(thread);
  if (verb.empty() || std::strcmp(verb.c_str(), "GET") == 0) {
    if (!cookies.Empty()) AppendText(lines, cookieLine.get());
    thread.Send(request.Get(), *lines, TextLength(*lines), "", 0, &sent);
  } else if (std::strcmp(verb.c_str(), "POST") == 0) {
    if (!postData.Empty()) {
      char length[16];
      std::snprintf(length, sizeof length, "%u", TextLength(postData.Get()));
      AppendText(lines, kFormLine);
      core::Text lengthLine = JoinText("Content-Length: ", length, "\r\n");
      AppendText(lines, lengthLine.get());
    }
    if (!cookies.Empty()) AppendText(lines, cookieLine.get());
    thread.Send(request.Get(), *lines, TextLength(*lines), postData.Get(),
                TextLength(postData.Get()), &sent);
  } else {
    return nullptr;
  }

  // After a stopped call the later ones return at once without touching the handle.
  bool readFailed = false, hasStatusLine = false;
  core::Bytes body = ReadBody(thread, request.Get(), &readFailed);
  core::Text headerText = QueryHeaders(thread, request.Get(), &hasStatusLine);
  bool shortBody = ShorterThanAnnounced(thread, request.Get(), body.size());
  if (thread.Stopped()) {
    // Abandoned because the program is ending, or a redirect loop: the handle may still be in
    // use on the request's thread, so nothing more is asked of it and no header is taken from
    // it. The holders close it.
    AssignText(responseHeaders.Variable(), core::Text());
    return ConvertBody(std::move(body), charsetConversion);
  }
  request.Close();
  connection.Close();
  internet.Close();
  StoreReceivedCookies(headerText.get(), host.get());
  AssignText(responseHeaders.Variable(), std::move(headerText));
  note.complete = hasStatusLine && !readFailed && !shortBody;
  return ConvertBody(std::move(body), charsetConversion);
}

bool LastPageComplete() { return lastPageComplete; }

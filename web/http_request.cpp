// 网页_访问: one HTTP exchange over WinINet, called through the declared DLL commands.
#include "http_request.h"

#include <cstdio>
#include <cstring>

#include "../app/dll_commands.h"
#include "../app/window_routines.h"
#include "core_ops.h"
#include "encodings.h"
#include "program_values.h"
#include "url.h"

using namespace prog;

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
constexpr uint32_t kChunkSize = 1024;
constexpr uint32_t kHeaderBufferSize = 2048;

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
  ~TextParameter() { MemFree(local_); }
  const char* Get() const { return *variable_; }
  char** Variable() { return variable_; }
  bool Empty() const { return TextLength(*variable_) == 0; }

 private:
  char* local_ = nullptr;
  char** variable_;
};

// A heap text owned for the length of a scope.
class OwnedText {
 public:
  explicit OwnedText(char* text = nullptr) : text_(text) {}
  OwnedText(const OwnedText&) = delete;
  OwnedText& operator=(const OwnedText&) = delete;
  ~OwnedText() { MemFree(text_); }
  const char* Get() const { return text_; }
  char* Release() {
    char* t = text_;
    text_ = nullptr;
    return t;
  }

 private:
  char* text_;
};

// Appends a default header line unless the caller's headers already name its key, in any
// letter case.
void AddDefaultHeader(char** headers, const char* key, const char* line) {
  if (FindText(*headers, key, 1, true) == -1) AppendText(headers, line);
}

// Feeds every "Set-Cookie: " line of the response header block to the WinINet cookie store
// under "http://" + host: the name is what stands before the first "=", the value everything
// after it, attributes included. The lines are read from a memory file as the line reader
// splits them. A 0x00 or 0x1A byte stops the reading, since the line reader leaves such a
// byte unread and would otherwise return empty lines at the same position for ever.
void StoreReceivedCookies(const char* headerText, const char* host) {
  if (FindText(headerText, kSetCookie, 1, true) == -1) return;
  OwnedText url(JoinText("http://", host));
  MemoryFile* file = OpenMemoryFile();
  WriteText(file, headerText);
  SeekToFileStart(file);
  while (!IsEndOfFile(file, false) && !IsEndOfFile(file, true)) {
    OwnedText line(ReadLine(file));
    if (FindText(line.Get(), kSetCookie, 1, true) == -1) continue;
    int32_t length = static_cast<int32_t>(TextLength(line.Get()));
    OwnedText rest(TextRight(line.Get(), length - 12));
    int32_t e = FindText(rest.Get(), "=");
    int32_t restLength = static_cast<int32_t>(TextLength(rest.Get()));
    OwnedText name(TextLeft(rest.Get(), e - 1));
    OwnedText value(TextRight(rest.Get(), restLength - e));
    dll::InternetSetCookieA(url.Get(), name.Get(), value.Get());
  }
  CloseFile(file);
}

// The body read in 1024-byte chunks until a read yields nothing (a failed read included).
// Waiting window messages are dispatched before every read, so the window stays live; the
// body grows geometrically and is trimmed to its exact size at the end.
uint8_t* ReadBody(dll::Handle request) {
  ByteSetBuilder body;
  char* buffer = static_cast<char*>(MemAlloc(kChunkSize));
  for (;;) {
    std::memset(buffer, 0, kChunkSize);
    ProcessEvents();
    uint32_t count = 0;
    dll::InternetReadFile(request, buffer, kChunkSize, &count);
    if (count == 0) break;
    body.Append(buffer, count < kChunkSize ? count : kChunkSize);
  }
  MemFree(buffer);
  return body.Finish();
}

// The raw response header block. The buffer starts as 2048 blanks, so a block too large for
// it (the query then fails and leaves the buffer alone) reads as 2048 blanks.
char* QueryHeaders(dll::Handle request) {
  char* buffer = static_cast<char*>(MemAlloc(kHeaderBufferSize + 1));
  std::memset(buffer, ' ', kHeaderBufferSize);
  buffer[kHeaderBufferSize] = '\0';
  uint32_t length = kHeaderBufferSize;
  dll::HttpQueryInfoA(request, kQueryRawHeadersCrLf, buffer, &length, nullptr);
  char* text = CopyText(buffer);
  MemFree(buffer);
  return text;
}

// The body converted through its text form, which ends at the first zero byte.
uint8_t* ConvertBody(uint8_t* body, int32_t conversion) {
  if (conversion != 1 && conversion != 2) return body;
  const uint8_t* data = ByteSetData(body);
  uint32_t n = ByteSetLength(body);
  const void* zero = n ? std::memchr(data, 0, n) : nullptr;
  if (zero) n = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - data);
  OwnedText text(NewText(reinterpret_cast<const char*>(data), n));
  MemFree(body);
  OwnedText converted(conversion == 1 ? Utf8ToGbk(text.Get()) : Big5ToGbkSimplified(text.Get()));
  return NewByteSet(converted.Get(), TextLength(converted.Get()));
}

}  // namespace

uint8_t* 网页_访问(char** urlVariable, int32_t method, char** proxyVariable,
                   char** requestHeadersVariable, char** postDataVariable,
                   char** cookiesVariable, int32_t charsetConversion,
                   char** responseHeadersVariable) {
  TextParameter url(urlVariable), proxy(proxyVariable), headers(requestHeadersVariable),
      postData(postDataVariable), cookies(cookiesVariable), responseHeaders(responseHeadersVariable);

  AssignText(url.Variable(), TrimSpaces(url.Get()));

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
    OwnedText head7(TextLeft(url.Get(), 7)), head8(TextLeft(url.Get(), 8));
    bool http = TextLength(head7.Get()) == 7 && std::strcmp(head7.Get(), "http://") == 0;
    bool https = TextLength(head8.Get()) == 8 && std::strcmp(head8.Get(), "https://") == 0;
    if (!http && !https) AssignText(url.Variable(), JoinText("http://", url.Get()));
  }
  OwnedText host(UrlHost(url.Get())), path(UrlPath(url.Get()));

  OwnedText proxyCompact(RemoveAllSpaces(proxy.Get()));
  OwnedText proxyText(JoinText("http=", proxy.Get()));
  InternetHandle internet(TextLength(proxyCompact.Get()) == 0
                              ? dll::InternetOpenA(kUserAgent, kOpenDirect, nullptr, nullptr, 0)
                              : dll::InternetOpenA(kUserAgent, kOpenProxy, proxyText.Get(), "", 0));
  if (!internet) return nullptr;
  InternetHandle connection(dll::InternetConnectA(internet.Get(), host.Get(), UrlPort(url.Get()),
                                                  nullptr, nullptr, kServiceHttp, 0, 0));
  if (!connection) return nullptr;
  InternetHandle request(dll::HttpOpenRequestA(connection.Get(), methodText, path.Get(),
                                               "HTTP/1.1", nullptr, nullptr, kFlagReload, 0));
  if (!request) return nullptr;

  char** lines = headers.Variable();
  AddDefaultHeader(lines, "Accept: ", kAcceptLine);
  {
    OwnedText referer(JoinText("Referer: ", url.Get(), "\r\n"));
    AddDefaultHeader(lines, "Referer: ", referer.Get());
  }
  AddDefaultHeader(lines, "Accept-Language: ", kAcceptLanguageLine);

  OwnedText cookieLine(JoinText("Cookie: ", cookies.Get(), "\r\n\r\n"));
  OwnedText verb(ToUpper(methodText));
  if (TextLength(verb.Get()) == 0 || std::strcmp(verb.Get(), "GET") == 0) {
    if (!cookies.Empty()) AppendText(lines, cookieLine.Get());
    dll::HttpSendRequestA(request.Get(), *lines, TextLength(*lines), "", 0);
  } else if (std::strcmp(verb.Get(), "POST") == 0) {
    if (!postData.Empty()) {
      char length[16];
      std::snprintf(length, sizeof length, "%u", TextLength(postData.Get()));
      AppendText(lines, kFormLine);
      OwnedText lengthLine(JoinText("Content-Length: ", length, "\r\n"));
      AppendText(lines, lengthLine.Get());
    }
    if (!cookies.Empty()) AppendText(lines, cookieLine.Get());
    dll::HttpSendRequestA(request.Get(), *lines, TextLength(*lines), postData.Get(),
                          TextLength(postData.Get()));
  } else {
    return nullptr;
  }

  uint8_t* body = ReadBody(request.Get());
  char* headerText = QueryHeaders(request.Get());
  request.Close();
  connection.Close();
  internet.Close();
  AssignText(responseHeaders.Variable(), headerText);

  StoreReceivedCookies(headerText, host.Get());
  return ConvertBody(body, charsetConversion);
}

// 网页_访问: one HTTP exchange over WinINet (web/exchange.h), its parameters and its result.
#include "web/http_request.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "program/program_values.h"
#include "program/window_routines.h"
#include "runtime/interface/core_commands.h"
#include "web/encodings.h"
#include "web/exchange.h"
#include "web/request_steps.h"

using prog::AppendText;
using prog::AssignText;
using prog::JoinText;
using prog::TextArgument;
using prog::TextLength;

namespace {

constexpr const char* kAcceptLine =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";
constexpr const char* kAcceptLanguageLine = "Accept-Language: zh-cn\r\n";
constexpr const char* kFormLine = "Content-Type: application/x-www-form-urlencoded\r\n";
constexpr const char* kBadMethodNotice =
    "【网页_访问】命令的第二个【访问方式】参数有误,请返回修改";

// Whether the last call that returned read a whole response, and its final status code.
bool g_lastPageComplete = false;
uint32_t g_lastPageStatus = 0;
std::string g_lastPageRetryAfter, g_lastPageDate;

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

// Collect: waits for the exchange with window messages dispatched. Once the program is ending
// it is abandoned, and the call returns at once with nothing.
void CollectStep(web::Exchange& exchange) {
  web::Exchange* one = &exchange;
  while (!exchange.Finished())
    if (!web::WaitForExchanges(&one, 1, web::kNoTimeLimit)) exchange.Abandon();
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
    uint32_t status = 0;
    std::string retryAfter, date;
    ~Completeness() {
      g_lastPageComplete = complete;
      g_lastPageStatus = status;
      g_lastPageRetryAfter = std::move(retryAfter);
      g_lastPageDate = std::move(date);
    }
  } note;
  TextParameter url(urlVariable), proxy(proxyVariable), headers(requestHeadersVariable),
      postData(postDataVariable), cookies(cookiesVariable), responseHeaders(responseHeadersVariable);

  web::TrimAddress(url.Variable());
  if (method != 0 && method != 1) {
    ShowNotice(kBadMethodNotice);
    return nullptr;
  }
  web::Exchange exchange;
  if (!web::StartExchange(exchange, url.Variable(), proxy.Get(), headers.Variable(), method == 1,
                          postData.Get(), cookies.Get()))
    return nullptr;
  CollectStep(exchange);

  AssignText(responseHeaders.Variable(), exchange.TakeHeaders());
  note.complete = exchange.Complete();
  note.status = exchange.Status();
  note.retryAfter = exchange.RetryAfter();
  note.date = exchange.Date();
  return ConvertBody(exchange.TakeBody(), charsetConversion);
}

bool LastPageComplete() { return g_lastPageComplete; }

uint32_t LastPageStatus() { return g_lastPageStatus; }

const std::string& LastPageRetryAfter() { return g_lastPageRetryAfter; }

const std::string& LastPageDate() { return g_lastPageDate; }

namespace web {

void TrimAddress(char** url) { AssignText(url, core::TrimSpaces(TextArgument(*url))); }

namespace {

void AddScheme(char** url) {
  bool http = std::strcmp(core::TextLeft(TextArgument(*url), 7).c_str(), "http://") == 0;
  bool https = std::strcmp(core::TextLeft(TextArgument(*url), 8).c_str(), "https://") == 0;
  if (!http && !https) AssignText(url, JoinText("http://", *url));
}

void AddDefaultHeaders(char** headers, const char* url) {
  AddDefaultHeader(headers, "Accept: ", kAcceptLine);
  core::Text referer = JoinText("Referer: ", url, "\r\n");
  AddDefaultHeader(headers, "Referer: ", referer.get());
  AddDefaultHeader(headers, "Accept-Language: ", kAcceptLanguageLine);
}

// The send: the result of HttpSendRequest is not tested here; a failed send shows up as a page
// that is empty and not whole.
void Send(Exchange& exchange, char** lines, bool post, const char* postData, const char* cookies) {
  core::Text cookieLine = JoinText("Cookie: ", cookies, "\r\n\r\n");
  char* getBlock = prog::CopyText(*lines).ReleaseText();
  if (post && TextLength(postData) != 0) {
    char length[16];
    std::snprintf(length, sizeof length, "%u", TextLength(postData));
    AppendText(lines, kFormLine);
    core::Text lengthLine = JoinText("Content-Length: ", length, "\r\n");
    AppendText(lines, lengthLine.get());
  }
  if (TextLength(cookies) != 0) {
    AppendText(lines, cookieLine.get());
    AppendText(&getBlock, cookieLine.get());
  }
  exchange.Send(*lines, getBlock, postData);
  core::Text done(getBlock);
}

}  // namespace

bool StartExchange(Exchange& exchange, char** url, const char* proxy, char** headers, bool post,
                   const char* postData, const char* cookies) {
  AddScheme(url);
  if (!exchange.Open(*url, proxy, post)) return false;
  AddDefaultHeaders(headers, *url);
  Send(exchange, headers, post, postData, cookies);
  return true;
}

}  // namespace web

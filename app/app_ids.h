// The start window and its units, as the window template names them.
#pragma once

#include <cstdint>

inline constexpr int32_t kStartWindowId = 0x52010001;
inline constexpr int32_t kInputBoxId = 0x16010002;      // 编辑框1
inline constexpr int32_t kCheckButtonId = 0x16010004;   // 按钮1 "检测"
inline constexpr int32_t kExitButtonId = 0x16010005;    // 按钮2 "退出"
inline constexpr int32_t kUsageButtonId = 0x16010006;   // 按钮3 "说明"
inline constexpr int32_t kOutputBoxId = 0x160117D3;     // 超级编辑框1

// Property numbers used by the program.
inline constexpr int32_t kEditContent = 8;         // 编辑框 Content
inline constexpr int32_t kRichEditContent = 9;     // 超级编辑框 内容
inline constexpr int32_t kRichEditSelText = 19;    // 超级编辑框 被选择文本

// The account service's hosts.
#define SERVICE_MAIN_HOST "www.baidu.com"
#define SERVICE_FORUM_HOST "tieba.baidu.com"
#define SERVICE_BLOG_HOST "hi.baidu.com"

// What the service's pages say about one ID, and the line that says it. Shared by the check
// that asks about one ID at a time and the one that keeps several in flight, so both ask the
// same addresses and judge the same pages the same way.
#pragma once

#include <cstdint>

#include "runtime/interface/core_commands.h"

// The outcome for one ID. kAskSearch: the profile page says there is no such profile, so the
// search page decides. kNoLine: the search page names the ID's liked forums but no identity;
// nothing is written.
enum class Verdict { kRegistered, kUnregistered, kFailed, kAskSearch, kNoLine };

// Member i (1-based) of IdList, fetched afresh with the index checks of array access.
const char* IdAt(int32_t i);

// The addresses of ID i's profile page and search page.
core::Text ProfileAddress(int32_t i);
core::Text SearchAddress(int32_t i);

// Whether a status code is the service, or a proxy or gate before it, refusing to answer: 429
// (too many requests) or any 5xx (not now); 401 and 407 (a login is wanted, by the service or by
// the proxy), 403 (forbidden: a gate that stops clients it takes for robots) and 451 (not
// available for legal reasons). Such a page says nothing about the ID, whatever its text holds:
// it lacks the markers of the service's pages, and judging it would give a verdict. 404 and
// every other status are the service's own pages and are judged by their markers.
constexpr bool IsRefusal(uint32_t status) {
  return status == 401 || status == 403 || status == 407 || status == 429 || status == 451 ||
         (status >= 500 && status <= 599);
}

// A page as the check judges it: its text when the page came back whole, not empty and not a
// refusal, else the empty text (a failed request, never a verdict: the service's pages are
// never empty, a part of a page may lack a marker the whole page holds, and a refusal page
// lacks every marker).
core::Text PageText(core::Bytes body, bool complete, uint32_t status);

// The verdicts of a profile page and of a search page, given as PageText made them.
Verdict JudgeProfile(const core::Text& page);
Verdict JudgeSearch(const core::Text& page);

// Writes ID i's verdict line in its colour; kNoLine (and kAskSearch) write nothing.
void WriteVerdict(int32_t i, Verdict verdict);

// The C interface over the program's own classes: a suite handle is a
// CXverInterface, attached as xversend's start-up attaches it, and every
// access is the one xversend makes.
#include "libxver/xver.h"

#include <chrono>
#include <cstring>
#include <new>
#include <string>

#include "sharedmem/segment_access.h"
#include "sharedmem/xver_interface.h"

struct xver_suite {
  CXverInterface xver;
};

namespace {

static_assert(XVER_SEGMENT_COUNT == segments::kCount);
static_assert(XVER_MM_XMITPATH == static_cast<int>(segments::Id::XmitPath));
static_assert(XVER_MM_XMITERSTATUS ==
              static_cast<int>(segments::Id::XmitterStatus));
static_assert(XVER_TEXT_MAX + 1 == segments::kSize);

bool IsSegment(int segment) {
  return segment >= 0 && segment < segments::kCount;
}

CMemMapFile& Segment(xver_suite* suite, int segment) {
  return suite->xver.GetSegment(static_cast<segments::Id>(segment));
}

platform::Deadline DeadlineAfter(int timeout_ms) {
  return platform::deadlineAfter(
      timeout_ms > 0 ? static_cast<std::uint32_t>(timeout_ms) : 0);
}

int Result(segments::Access access) {
  switch (access) {
    case segments::Access::Done:
      return XVER_OK;
    case segments::Access::DoneAbandoned:
      return XVER_ABANDONED;
    case segments::Access::TimedOut:
      return XVER_TIMEOUT;
    default:
      return XVER_UNUSABLE;
  }
}

// Copies a text of at most kSize characters, with its NUL.
void CopyOut(const std::string& strText, char text[XVER_TEXT_MAX + 2]) {
  const std::size_t nCount =
      strText.size() <= segments::kSize ? strText.size() : segments::kSize;
  std::memcpy(text, strText.data(), nCount);
  text[nCount] = '\0';
}

}  // namespace

extern "C" {

xver_suite* xver_open(void) {
  auto* suite = new (std::nothrow) xver_suite;
  if (suite) suite->xver.AttachSegments();
  return suite;
}

void xver_close(xver_suite* suite) { delete suite; }

const char* xver_segment_name(int segment) {
  return IsSegment(segment) ? segments::kNames[segment] : nullptr;
}

const char* xver_problem(const xver_suite* suite, int segment) {
  if (!suite || !IsSegment(segment)) return nullptr;
  return const_cast<xver_suite*>(suite)
      ->xver.GetSegment(static_cast<segments::Id>(segment))
      .GetProblem()
      .c_str();
}

int xver_made_new(const xver_suite* suite, int segment) {
  return suite && IsSegment(segment) &&
                 const_cast<xver_suite*>(suite)
                     ->xver.GetSegment(static_cast<segments::Id>(segment))
                     .WasMadeNew()
             ? 1
             : 0;
}

int xver_read(xver_suite* suite, int segment, char text[XVER_TEXT_MAX + 2],
              int timeout_ms) {
  text[0] = '\0';
  if (!suite || !IsSegment(segment)) return XVER_UNUSABLE;
  std::string strText;
  const int nResult = Result(
      segments::ReadText(Segment(suite, segment), strText,
                         DeadlineAfter(timeout_ms), segments::Abandoned::Take));
  if (nResult >= 0) CopyOut(strText, text);
  return nResult;
}

int xver_write(xver_suite* suite, int segment, const char* text,
               int timeout_ms) {
  if (!suite || !IsSegment(segment) || !text) return XVER_UNUSABLE;
  if (std::strlen(text) > XVER_TEXT_MAX) return XVER_TOO_LONG;
  return Result(segments::WriteText(Segment(suite, segment), text,
                                    DeadlineAfter(timeout_ms),
                                    segments::Abandoned::Take));
}

int xver_is_path(const char* text) {
  return text && segments::IsPath(text) ? 1 : 0;
}

int xver_take_path(xver_suite* suite, char path[XVER_TEXT_MAX + 2],
                   int timeout_ms) {
  path[0] = '\0';
  if (!suite) return XVER_UNUSABLE;
  std::string strPath;
  const segments::Access access = segments::TakePath(
      Segment(suite, XVER_MM_XMITPATH), strPath, DeadlineAfter(timeout_ms));
  const int nResult = Result(access);
  if (nResult < 0) return nResult;
  if (strPath.empty()) return XVER_EMPTY;
  CopyOut(strPath, path);
  return nResult;
}

int xver_submit(xver_suite* suite, const char* request, char message[256]) {
  message[0] = '\0';
  if (!suite || !request) return 0;
  std::string strMessage;
  const int bHandedOver = suite->xver.Submit(request, strMessage);
  const std::size_t nCount = strMessage.size() < 255 ? strMessage.size() : 255;
  std::memcpy(message, strMessage.data(), nCount);
  message[nCount] = '\0';
  return bHandedOver;
}

int xver_lock(xver_suite* suite, int segment, int timeout_ms) {
  if (!suite || !IsSegment(segment)) return XVER_UNUSABLE;
  CMemMapFile& map = Segment(suite, segment);
  if (map.LockUntil(DeadlineAfter(timeout_ms), true)) {
    return map.GetLastWait() == platform::WaitResult::Abandoned ? XVER_ABANDONED
                                                                : XVER_OK;
  }
  return map.GetLastWait() == platform::WaitResult::TimedOut ? XVER_TIMEOUT
                                                             : XVER_UNUSABLE;
}

void xver_unlock(xver_suite* suite, int segment) {
  if (suite && IsSegment(segment)) Segment(suite, segment).Unlock();
}

const char* xver_version(void) { return XVER_VERSION; }

}  // extern "C"

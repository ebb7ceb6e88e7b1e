// The transmit request: ask the transceiver-control process for its status
// through "MM_XMITERSTATUS" and hand the path over in "MM_XMITPATH".
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "sharedmem/xver_interface.h"

namespace {

// The text at the start of a locked segment view. A peer may leave no NUL in
// the segment: the text then ends with the segment.
std::string SegmentText(const void* pView, std::uint32_t nSize) {
  const auto* pszText = static_cast<const char*>(pView);
  return std::string(pszText, strnlen(pszText, nSize));
}

}  // namespace

std::int32_t CXverInterface::SubmitPath(const std::string& strRequest) {
  if (strRequest.size() > kMaxPathLength) {
    std::fprintf(stderr,
                 "xversend: path too long: %zu characters, the limit is %zu\n",
                 strRequest.size(), kMaxPathLength);
    return 0;
  }
  const bool bIsPath =
      strRequest.find_first_of(platform::kPathMarkers) != std::string::npos;
  if (bIsPath && GetXmitterStatus() != kStatusReady) return 0;
  return WriteXmitPath(strRequest);
}

std::int32_t CXverInterface::GetXmitterStatus() {
  const std::string strStatus = ReadXmitterStatus();
  if (strStatus == "FAILED") return kStatusFailed;
  if (strStatus == "READY") return kStatusReady;
  if (strStatus == "STARTING") return kStatusStarting;
  return kStatusOther;
}

std::string CXverInterface::ReadXmitterStatus() {
  if (!m_bXmitterStatusOpen) return std::string();
  std::string strStatus;
  if (const void* pView = m_mapXmitterStatus.Lock()) {
    strStatus = SegmentText(pView, m_mapXmitterStatus.GetSize());
  }
  m_mapXmitterStatus.Unlock();
  return strStatus;
}

std::string CXverInterface::ReadXmitPath() {
  std::string strPath = "Could not read MemMap";
  if (const void* pView = m_mapXmitPath.Lock()) {
    strPath = SegmentText(pView, m_mapXmitPath.GetSize());
  }
  m_mapXmitPath.Unlock();
  return strPath;
}

std::int32_t CXverInterface::WriteXmitPath(const std::string& strPath) {
  // With its NUL the path must fit the segment; bytes after the NUL keep
  // their old contents.
  if (strPath.size() > kMaxPathLength) return 0;
  std::int32_t bWritten = 0;
  if (void* pView = m_mapXmitPath.Lock()) {
    std::memcpy(pView, strPath.c_str(), strPath.size() + 1);
    bWritten = 1;
  }
  m_mapXmitPath.Unlock();
  return bWritten;
}

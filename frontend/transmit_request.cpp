// The transmit request: ask the transceiver-control process for its status
// through "MM_XMITERSTATUS" and hand the path over in "MM_XMITPATH".
#include <chrono>
#include <thread>

#include "sharedmem/segment_access.h"
#include "sharedmem/xver_interface.h"

std::int32_t CXverInterface::SubmitPath(const std::string& strRequest) {
  if (strRequest.size() > kMaxPathLength) {
    Say("path too long: " + std::to_string(strRequest.size()) +
        " characters, the limit is " + std::to_string(kMaxPathLength));
    return 0;
  }
  if (segments::IsPath(strRequest) && GetXmitterStatus() != kStatusReady)
    return 0;
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
  std::string strStatus;
  if (!m_bXmitterStatusOpen ||
      !segments::ReadText(m_mapXmitterStatus, strStatus)) {
    Say(m_mapXmitterStatus.GetProblem());
  }
  return strStatus;
}

std::string CXverInterface::ReadXmitPath() {
  std::string strPath;
  if (!segments::ReadText(m_mapXmitPath, strPath))
    strPath = "Could not read MemMap";
  return strPath;
}

std::int32_t CXverInterface::WriteXmitPath(const std::string& strPath) {
  // Bytes after the new NUL keep their old contents.
  if (strPath.size() > kMaxPathLength) return 0;
  // A bare word or the empty text is written at once: the operator's way to
  // clear the slot.
  if (!segments::IsPath(strPath)) {
    if (segments::WriteText(m_mapXmitPath, strPath)) return 1;
    Say(m_mapXmitPath.GetProblem());
    return 0;
  }
  // The slot holds one path until the transceiver-control process takes it;
  // overwriting it would lose that path though its sender was told it was
  // handed over.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kSlotWaitMs);
  std::string strWaiting;
  for (;;) {
    switch (segments::WriteTextIfFree(m_mapXmitPath, strPath, strWaiting)) {
      case segments::SlotResult::Written:
        return 1;
      case segments::SlotResult::Failed:
        Say(m_mapXmitPath.GetProblem());
        return 0;
      case segments::SlotResult::Waiting:
        break;
    }
    if (Clock::now() >= deadline) {
      Say("MM_XMITPATH: the path waiting there was not taken within " +
          std::to_string(kSlotWaitMs) + " ms: \"" +
          segments::Escape(strWaiting) + '"');
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

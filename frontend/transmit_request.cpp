// The transmit request: ask the transceiver-control process for its status
// through "MM_XMITERSTATUS" and hand the path over in "MM_XMITPATH".
#include <chrono>
#include <thread>

#include "sharedmem/segment_access.h"
#include "sharedmem/xver_interface.h"

namespace {

// How often a path waiting for the slot looks again.
constexpr auto kSlotLookInterval = std::chrono::milliseconds(5);

}  // namespace

std::int32_t CXverInterface::SubmitPath(const std::string& strRequest) {
  std::string strMessage;
  const std::int32_t bHandedOver = Submit(strRequest, strMessage);
  Say(strMessage);
  return bHandedOver;
}

std::int32_t CXverInterface::Submit(const std::string& strRequest,
                                    std::string& strMessage) {
  strMessage.clear();
  if (strRequest.size() > kMaxPathLength) {
    strMessage = "path too long: " + std::to_string(strRequest.size()) +
                 " characters, the limit is " + std::to_string(kMaxPathLength);
    return 0;
  }
  if (segments::IsPath(strRequest) && GetXmitterStatus() != kStatusReady) {
    // A status this run had to make new has no writer behind it.
    strMessage = m_mapXmitterStatus.WasMadeNew()
                     ? "MM_XMITERSTATUS: no process holds it: is the "
                       "transceiver-control process running?"
                     : m_mapXmitterStatus.GetProblem();
    return 0;
  }
  return WriteXmitPath(strRequest, strMessage);
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
  if (m_bXmitterStatusOpen) segments::ReadText(m_mapXmitterStatus, strStatus);
  return strStatus;
}

std::string CXverInterface::ReadXmitPath() {
  std::string strPath;
  if (!segments::ReadText(m_mapXmitPath, strPath))
    strPath = "Could not read MemMap";
  return strPath;
}

std::int32_t CXverInterface::WriteXmitPath(const std::string& strPath) {
  std::string strMessage;
  const std::int32_t bWritten = WriteXmitPath(strPath, strMessage);
  Say(strMessage);
  return bWritten;
}

std::int32_t CXverInterface::WriteXmitPath(const std::string& strPath,
                                           std::string& strMessage) {
  if (strPath.size() > kMaxPathLength) return 0;
  // A bare word or the empty text is written at once: the operator's way to
  // clear the slot.
  if (!segments::IsPath(strPath)) {
    if (segments::WriteText(m_mapXmitPath, strPath)) return 1;
    strMessage = m_mapXmitPath.GetProblem();
    return 0;
  }
  // A slot this run had to make new dies with it: nobody could take the path.
  if (m_mapXmitPath.WasMadeNew()) {
    strMessage = "MM_XMITPATH: no process holds it: nobody would take the path";
    return 0;
  }
  // The slot holds one path until the transceiver-control process takes it;
  // overwriting it would lose that path though its sender was told it was
  // handed over. The wait is bounded in all, each look's lock wait included.
  const platform::Deadline deadline = platform::deadlineAfter(kSlotWaitMs);
  std::string strWaiting;
  for (;;) {
    switch (segments::WriteTextIfFree(m_mapXmitPath, strPath, strWaiting,
                                      deadline)) {
      case segments::SlotResult::Written:
        return 1;
      case segments::SlotResult::Failed:
        strMessage = m_mapXmitPath.GetProblem();
        return 0;
      case segments::SlotResult::Waiting:
        break;
    }
    if (platform::isPast(deadline)) {
      strMessage = "MM_XMITPATH: the path waiting there was not taken within " +
                   std::to_string(kSlotWaitMs) + " ms: \"" +
                   segments::Escape(strWaiting) + '"';
      return 0;
    }
    std::this_thread::sleep_for(kSlotLookInterval);
  }
}

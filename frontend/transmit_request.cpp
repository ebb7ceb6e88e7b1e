// The transmit request: ask the transceiver-control process for its status
// through "MM_XMITERSTATUS" and hand the path over in "MM_XMITPATH".
#include <chrono>
#include <thread>

#include "sharedmem/messages.h"
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
    strMessage = messages::PathTooLong(strRequest.size(), kMaxPathLength);
    return 0;
  }
  if (segments::IsPath(strRequest) && GetXmitterStatus() != kStatusReady) {
    // A status that no other process holds has no writer behind it.
    strMessage = m_mapXmitterStatus.GetProblem();
    if (strMessage.empty() && m_bXmitterStatusOpen &&
        !m_mapXmitterStatus.IsHeldElsewhere()) {
      strMessage = messages::NoHolder(segments::Id::XmitterStatus);
    }
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
  if (m_bXmitterStatusOpen) {
    segments::ReadText(m_mapXmitterStatus, strStatus);
  }
  return strStatus;
}

std::string CXverInterface::ReadXmitPath() {
  std::string strPath;
  if (segments::ReadText(m_mapXmitPath, strPath) != segments::Access::Done) {
    strPath = "Could not read MemMap";
  }
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
  std::string strFound;
  // A bare word or the empty text is written at once: the operator's way to
  // clear the slot. A path it takes the place of is said, not lost unseen.
  if (!segments::IsPath(strPath)) {
    if (segments::WriteSlot(m_mapXmitPath, strPath, true, strFound,
                            segments::LockDeadline()) !=
        segments::SlotResult::Written) {
      strMessage = m_mapXmitPath.GetProblem();
      return 0;
    }
    if (segments::IsPath(strFound)) strMessage = messages::Replaced(strFound);
    return 1;
  }
  // A slot that no other process holds dies with this one: nobody could
  // take the path.
  if (!m_mapXmitPath.IsHeldElsewhere()) {
    strMessage = messages::NoHolder(segments::Id::XmitPath);
    return 0;
  }
  // The slot holds one path until the transceiver-control process takes it;
  // overwriting it would lose that path though its sender was told it was
  // handed over. The wait is bounded in all, each look's lock wait included.
  const platform::Deadline deadline = platform::deadlineAfter(kSlotWaitMs);
  std::string strWaiting;
  for (;;) {
    switch (segments::WriteSlot(m_mapXmitPath, strPath, false, strFound,
                                deadline)) {
      case segments::SlotResult::Written:
        return 1;
      case segments::SlotResult::Waiting:
        strWaiting = strFound;
        break;
      case segments::SlotResult::Failed:
        // The bound ran out in a wait for the mutex after a look that saw a
        // path waiting: that path was not taken in time.
        if (strWaiting.empty() ||
            m_mapXmitPath.GetLastWait() != platform::WaitResult::TimedOut) {
          strMessage = m_mapXmitPath.GetProblem();
          return 0;
        }
        break;
    }
    if (platform::isPast(deadline)) {
      strMessage = messages::NotTaken(strWaiting, kSlotWaitMs);
      return 0;
    }
    std::this_thread::sleep_for(kSlotLookInterval);
  }
}

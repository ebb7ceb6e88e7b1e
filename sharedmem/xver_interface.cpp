// The segment set: the seven segments, attached as start-up has it.
#include "sharedmem/xver_interface.h"

#include "platform/platform.h"

CXverInterface::SegmentMembers CXverInterface::Members(segments::Id id) {
  switch (id) {
    case segments::Id::PcReset:
      return {m_mapPcReset, m_bPcResetOpen};
    case segments::Id::TimePosValid:
      return {m_mapTimePosValid, m_bTimePosValidOpen};
    case segments::Id::XbtTimePos:
      return {m_mapXbtTimePos, m_bXbtTimePosOpen};
    case segments::Id::XmitPath:
      return {m_mapXmitPath, m_bXmitPathOpen};
    case segments::Id::XmitterStatus:
      return {m_mapXmitterStatus, m_bXmitterStatusOpen};
    case segments::Id::ShipSpeedDir:
      return {m_mapShipSpeedDir, m_bShipSpeedDirOpen};
    case segments::Id::XbtFromXver:
      break;
  }
  return {m_mapXbtFromXver, m_bXbtFromXverOpen};
}

CMemMapFile& CXverInterface::GetSegment(segments::Id id) {
  return Members(id).map;
}

const CMemMapFile& CXverInterface::GetSegment(segments::Id id) const {
  return const_cast<CXverInterface*>(this)->Members(id).map;
}

std::int32_t CXverInterface::OpenSegment(segments::Id id) {
  const SegmentMembers members = Members(id);
  if (members.bOpen ||
      !segments::Attach(members.map, segments::Name(id), m_attachDeadline)) {
    return 0;
  }
  members.bOpen = 1;
  return 1;
}

std::int32_t CXverInterface::OpenPcResetMap() {
  return OpenSegment(segments::Id::PcReset);
}

std::int32_t CXverInterface::OpenTimePosValidMap() {
  return OpenSegment(segments::Id::TimePosValid);
}

std::int32_t CXverInterface::OpenXbtTimePosMap() {
  return OpenSegment(segments::Id::XbtTimePos);
}

std::int32_t CXverInterface::OpenXmitPathMap() {
  return OpenSegment(segments::Id::XmitPath);
}

std::int32_t CXverInterface::OpenXmitterStatusMap() {
  return OpenSegment(segments::Id::XmitterStatus);
}

std::int32_t CXverInterface::OpenShipSpeedDirMap() {
  return OpenSegment(segments::Id::ShipSpeedDir);
}

std::int32_t CXverInterface::OpenXbtFromXverMap() {
  return OpenSegment(segments::Id::XbtFromXver);
}

void CXverInterface::AttachSegments() {
  // One bound for all fourteen attaches, whatever other processes do.
  m_attachDeadline = platform::deadlineAfter(platform::kAttachWaitMs);
  // A segment that cannot be had stays closed; its accesses then fail softly.
  OpenPcResetMap();
  OpenTimePosValidMap();
  OpenXbtTimePosMap();
  OpenXmitPathMap();
  OpenXmitterStatusMap();
  OpenShipSpeedDirMap();
  OpenXbtFromXverMap();
}

void CXverInterface::Say(const std::string& strText) {
  if (strText.empty()) return;
  for (const std::string& strSaid : m_said) {
    if (strSaid == strText) return;
  }
  m_said.push_back(strText);
  segments::SayLine("xversend: " + strText);
}

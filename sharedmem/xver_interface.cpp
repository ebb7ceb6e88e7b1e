// Start-up of the segment set: the seven segments, then the setup-file check.
#include "sharedmem/xver_interface.h"

#include "platform/platform.h"
#include "sharedmem/segment_access.h"

std::int32_t CXverInterface::OpenSegment(CMemMapFile& map, std::int32_t& bOpen,
                                         const char* pszName) {
  if (bOpen || !segments::Attach(map, pszName, m_attachDeadline)) return 0;
  bOpen = 1;
  return 1;
}

std::int32_t CXverInterface::OpenPcResetMap() {
  return OpenSegment(m_mapPcReset, m_bPcResetOpen, segments::kPcReset);
}

std::int32_t CXverInterface::OpenTimePosValidMap() {
  return OpenSegment(m_mapTimePosValid, m_bTimePosValidOpen,
                     segments::kTimePosValid);
}

std::int32_t CXverInterface::OpenXbtTimePosMap() {
  return OpenSegment(m_mapXbtTimePos, m_bXbtTimePosOpen, segments::kXbtTimePos);
}

std::int32_t CXverInterface::OpenXmitPathMap() {
  return OpenSegment(m_mapXmitPath, m_bXmitPathOpen, segments::kXmitPath);
}

std::int32_t CXverInterface::OpenXmitterStatusMap() {
  return OpenSegment(m_mapXmitterStatus, m_bXmitterStatusOpen,
                     segments::kXmitterStatus);
}

std::int32_t CXverInterface::OpenShipSpeedDirMap() {
  return OpenSegment(m_mapShipSpeedDir, m_bShipSpeedDirOpen,
                     segments::kShipSpeedDir);
}

std::int32_t CXverInterface::OpenXbtFromXverMap() {
  return OpenSegment(m_mapXbtFromXver, m_bXbtFromXverOpen,
                     segments::kXbtFromXver);
}

void CXverInterface::Say(const std::string& strText) {
  if (strText.empty()) return;
  for (const std::string& strSaid : m_said) {
    if (strSaid == strText) return;
  }
  m_said.push_back(strText);
  segments::SayLine("xversend: " + strText);
}

std::int32_t CXverInterface::Init() {
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
  // Having waited out the bound, say what could not be had, used or not.
  if (platform::isPast(m_attachDeadline)) {
    for (const CMemMapFile* pMap :
         {&m_mapPcReset, &m_mapTimePosValid, &m_mapXbtTimePos, &m_mapXmitPath,
          &m_mapXmitterStatus, &m_mapShipSpeedDir, &m_mapXbtFromXver}) {
      Say(pMap->GetProblem());
    }
  }

  // A bad setup file is reported, but never stops the request.
  if (!ReadSetupFile()) {
    platform::showMessage("Transceiver Set Up File Incorrect cannot read.");
  }
  return IsSetupValid();
}

// CXverInterface: the program's one global object. It owns the seven named
// segments shared with the other processes of the suite, runs start-up, and
// carries the transmit request and the setup-file check. Its operations are
// defined beside the subsystem that owns them: start-up here, the transmit
// request in frontend/, the setup-file check in setup/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "setup/setup_validator.h"
#include "sharedmem/mem_map_file.h"
#include "sharedmem/segment_access.h"

class CXverInterface {
 public:
  CXverInterface() = default;
  virtual ~CXverInterface() = default;
  CXverInterface(const CXverInterface&) = delete;
  CXverInterface& operator=(const CXverInterface&) = delete;

  // Start-up: attaches the seven segments, then checks the setup file and
  // tells the user when it is missing or wrong. Returns IsSetupValid(). The
  // fourteen attaches share one bound of platform::kAttachWaitMs; when start-
  // up waited it out, it names each object it could not attach, and why.
  std::int32_t Init();
  // Start-up's attaching alone: the seven open operations, under one bound
  // of platform::kAttachWaitMs in all. Says nothing.
  void AttachSegments();
  // A segment by its place in the suite's list.
  CMemMapFile& GetSegment(segments::Id id);
  const CMemMapFile& GetSegment(segments::Id id) const;

  // Each attaches its segment, or creates it when no process has. 1 when this
  // call attached it; 0 when it was already open or could not be had. Waits
  // for other processes making objects new only until start-up's bound.
  std::int32_t OpenPcResetMap();
  std::int32_t OpenTimePosValidMap();
  std::int32_t OpenXbtTimePosMap();
  std::int32_t OpenXmitPathMap();
  std::int32_t OpenXmitterStatusMap();
  std::int32_t OpenShipSpeedDirMap();
  std::int32_t OpenXbtFromXverMap();

  // Transmit request. SubmitPath: 1 handed over, 0 refused; says why on
  // standard error where there is something to say.
  std::int32_t SubmitPath(const std::string& strRequest);
  // As SubmitPath, leaving the line it would say in strMessage ("" when
  // none), without "xversend: ".
  std::int32_t Submit(const std::string& strRequest, std::string& strMessage);
  // One of the kStatus codes below.
  std::int32_t GetXmitterStatus();
  // Text of "MM_XMITERSTATUS", or empty when it cannot be read.
  std::string ReadXmitterStatus();
  // Text of "MM_XMITPATH", or "Could not read MemMap".
  std::string ReadXmitPath();
  // 1 when the path was written to "MM_XMITPATH"; 0 when nothing was written:
  // it was too long for the segment, the segment could not be locked, or a
  // path (not a bare word) found no other process holding the segment, or
  // another path still waiting there for kSlotWaitMs in all. Says why as
  // SubmitPath does; the second form leaves the line in strMessage.
  std::int32_t WriteXmitPath(const std::string& strPath);
  std::int32_t WriteXmitPath(const std::string& strPath,
                             std::string& strMessage);

  // Setup-file check. ReadSetupFile: 1 when the file was read through and
  // passed validation; the outcome is kept in m_bSetupValid.
  std::int32_t ReadSetupFile();
  std::int32_t ValidateSetup();
  std::int32_t IsSetupValid() const { return m_bSetupValid; }
  // Why the last ReadSetupFile failed, naming the file and the line: the
  // first reason found; empty when it did not fail.
  const std::string& GetSetupProblem() const { return m_strSetupProblem; }
  void SetAutoBinaryXmit(std::int32_t bValue);
  void SetX25Address(const std::string& strValue);
  void SetCesAddress(const std::string& strValue);
  void SetComPortNumber(const std::string& strValue);
  std::string GetCesAddress() const;
  std::string GetComPortNumber() const;

  static constexpr std::int32_t kStatusReady = 1;
  static constexpr std::int32_t kStatusStarting = 2;
  static constexpr std::int32_t kStatusOther = 3;
  static constexpr std::int32_t kStatusFailed = 6;

  // How long a path waits for the one before it to be taken.
  static constexpr unsigned kSlotWaitMs = 3000;

  // Longest request that fits the path buffer with its NUL.
  static constexpr std::size_t kMaxPathLength = 199;

  static std::string m_strSetupFilePath;
  static std::string m_strLandStationsFilePath;
  static std::int32_t m_bAutoBinaryXmit;
  static std::string m_strX25Address;
  static std::string m_strCesAddress;
  static std::string m_strComPortNumber;

 private:
  // A segment's object and open flag.
  struct SegmentMembers {
    CMemMapFile& map;
    std::int32_t& bOpen;
  };
  SegmentMembers Members(segments::Id id);
  std::int32_t OpenSegment(segments::Id id);
  // One line "xversend: TEXT" on standard error; a text said once in this run
  // is not said again, nor is the empty text.
  void Say(const std::string& strText);

  // Declared in the reverse of the order in which destruction closes them.
  CMemMapFile m_mapXbtFromXver;
  CMemMapFile m_mapXmitPath;
  CMemMapFile m_mapXmitterStatus;
  CMemMapFile m_mapXbtTimePos;
  CMemMapFile m_mapShipSpeedDir;
  CMemMapFile m_mapTimePosValid;
  CMemMapFile m_mapPcReset;

  std::int32_t m_bPcResetOpen = 0;
  std::int32_t m_bTimePosValidOpen = 0;
  std::int32_t m_bXbtTimePosOpen = 0;
  std::int32_t m_bXmitPathOpen = 0;
  std::int32_t m_bXmitterStatusOpen = 0;
  std::int32_t m_bShipSpeedDirOpen = 0;
  std::int32_t m_bXbtFromXverOpen = 0;

  std::int32_t m_bSetupValid = 0;
  CSetupValidator m_validator;

  std::string m_strSetupProblem;

  // Start-up's bound for every attach; in the past before Init.
  platform::Deadline m_attachDeadline{};
  std::vector<std::string> m_said;
};

// The one instance, constructed before main.
extern CXverInterface g_xverInterface;

// Start-up of the program: the seven segments, then the setup-file check.
#include "platform/platform.h"
#include "sharedmem/xver_interface.h"

std::int32_t CXverInterface::Init() {
  AttachSegments();
  // Having waited out the bound, say what could not be had, used or not.
  if (platform::isPast(m_attachDeadline)) {
    for (int i = 0; i < segments::kCount; ++i) {
      Say(GetSegment(static_cast<segments::Id>(i)).GetProblem());
    }
  }

  // A bad setup file is reported, but never stops the request. After the
  // system's message, one line says which file and why.
  if (!ReadSetupFile()) {
    platform::showMessage("Transceiver Set Up File Incorrect cannot read.");
    Say(m_strSetupProblem);
  }
  return IsSetupValid();
}

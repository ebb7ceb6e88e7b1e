// xversend PATH: hands PATH to the transceiver-control process when it reports
// "READY". Exit status 1: handed over; 0: refused.
#include <string>

#include "sharedmem/messages.h"
#include "sharedmem/segment_access.h"
#include "sharedmem/xver_interface.h"

int main(int argc, char* argv[]) {
  segments::PrepareProcess();
  CXverInterface::m_strSetupFilePath =
      "C:\\Program Files\\KESTRAVIA\\Administration\\Xver\\XverSetUp.Txt";
  CXverInterface::m_strLandStationsFilePath =
      "C:\\Program Files\\KESTRAVIA\\Administration\\Xver\\LandStations.txt";

  // The outcome of start-up does not stop the request.
  g_xverInterface.Init();

  // A request that cannot be had whole is refused: a path changed on the way
  // could name another file.
  std::string strRequest;
  std::string strProblem;
  int nIgnored = 0;
  if (!segments::RequestArgument(argc, argv, strRequest, nIgnored,
                                 strProblem)) {
    segments::SayLine("xversend: " + strProblem);
    return 0;
  }
  // An unquoted path with blanks arrives in pieces: say that the rest is not
  // sent.
  if (nIgnored > 0) {
    segments::SayLine("xversend: " + messages::ArgumentsIgnored(nIgnored));
  }
  return g_xverInterface.SubmitPath(strRequest);
}

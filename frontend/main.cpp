// xversend PATH: hands PATH to the transceiver-control process when it reports
// "READY". Exit status 1: handed over; 0: refused.
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

  return g_xverInterface.SubmitPath(argc > 1 ? argv[1] : "");
}

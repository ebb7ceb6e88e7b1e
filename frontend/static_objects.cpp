// The program's static objects, in one translation unit so that they are
// constructed in this order before main and destroyed in the reverse order
// at exit: the two built-in paths, the global segment set, then the settings
// read from the setup file.
#include "sharedmem/xver_interface.h"

std::string CXverInterface::m_strSetupFilePath;
std::string CXverInterface::m_strLandStationsFilePath;

CXverInterface g_xverInterface;

std::int32_t CXverInterface::m_bAutoBinaryXmit = 0;
std::string CXverInterface::m_strX25Address;
std::string CXverInterface::m_strCesAddress;
std::string CXverInterface::m_strComPortNumber;

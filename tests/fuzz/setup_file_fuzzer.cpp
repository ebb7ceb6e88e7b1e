// Whole setup files, good and bad, through the setup-file check.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "sharedmem/xver_interface.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
  static const std::string strPath =
      "/dev/shm/xver_fuzz_setup_" + std::to_string(getpid()) + ".txt";
  std::FILE* pFile = std::fopen(strPath.c_str(), "wb");
  if (!pFile) return 0;
  std::fwrite(pData, 1, nSize, pFile);
  std::fclose(pFile);

  CXverInterface::m_strSetupFilePath = strPath;
  CXverInterface xver;
  const std::int32_t bValid = xver.ReadSetupFile();
  if (bValid != xver.IsSetupValid() || (bValid != 0 && bValid != 1)) __builtin_trap();
  // What passes the check has a three-digit station address.
  if (bValid && xver.GetCesAddress().size() != 3) __builtin_trap();
  return 0;
}

// Started once after the Wine prefix is made: proves programs can start.
// "probe --wait SECONDS" stays up that long instead, for the check that
// ending the script that started it ends the program too.

#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--wait") == 0)
    Sleep(DWORD(std::strtoul(argv[2], nullptr, 10)) * 1000);
  return 0;
}

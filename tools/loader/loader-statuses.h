/* The loader's status words, shared by the loader and the programs that
   drive it. C and C++ alike. */
#ifndef ORVANDEL_LOADER_STATUSES_H
#define ORVANDEL_LOADER_STATUSES_H

enum {
  CMD_SUCCESS = 0,
  INVALID_COMMAND = 1,
  SRC_ADDR_ERROR = 2,
  DST_ADDR_ERROR = 3,
  SRC_ADDR_NOT_MAPPED = 4,
  DST_ADDR_NOT_MAPPED = 5,
  COUNT_ERROR = 6,
  INVALID_SECTOR = 7,
  SECTOR_NOT_BLANK = 8,
  SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION = 9,
  COMPARE_ERROR = 10,
  BUSY = 11,
};

#endif

/*
 * Flash loader for the Stellaris on-chip flash ("ARM_RD_LUMINARY.hex").
 *
 * How the plug-in's Cortex-M3 flash writer drives it
 * --------------------------------------------------
 * The writer copies this image to 0x20000000, after saving the RAM under it
 * and under the data buffer, and restores both when it is done. For every
 * command it writes a 20-byte command block to 0x20000400, resets the
 * processor, sets PC to 0x20000000 (nothing else: SP, xPSR and the other
 * registers are what the reset left) and lets the processor run. It polls
 * every 100 ms until the processor has stopped, then reads the 20-byte
 * result block at 0x20000414. It plants no breakpoints: the loader stops
 * itself with BKPT, and stops again if resumed.
 *
 *   0x20000000  loader image: code, state, and the stack up to 0x20000400
 *   0x20000400  command block: command word, parameters 1 to 4
 *   0x20000414  result block:  status word, result words 1 to 4
 *   0x20000428  12 bytes unused
 *   0x20000434  data buffer, 512 bytes (half a flash page)
 *
 * All words are little-endian; parameters a command does not take arrive
 * as 0. Flash is at address 0 in 1 KB pages (the writer's "sectors" are
 * these pages). The flash and SRAM sizes come from the chip's DC0 register.
 *
 * What the writer sends, and what it reads back (result words not named
 * are 0):
 *
 *   40 init       [flash start 0, width in bits 32]
 *                 once each time the loader is installed. Forgets prepared
 *                 sectors; result 1 = flash size in bytes.
 *   50 prepare    [first sector, last sector]
 *                 before every write and erase. For a write of n bytes at
 *                 address a the writer sends [a / 1024, (a + n) / 1024]: the
 *                 sector of the exclusive end, so a write ending at the top
 *                 of flash names the sector one past the last. That one is
 *                 accepted; further ones are not. The range stays prepared
 *                 until the next 40 or 50 (a multi-page erase prepares once
 *                 and erases page by page); a refused prepare leaves nothing
 *                 prepared.
 *   51 write      [flash address, RAM address, byte count, clock in kHz]
 *                 [a, 0x20000434, 512, 12000] for each half page of an image,
 *                 once its pages are erased. Programs word by word: bits can
 *                 only be cleared, so a page not erased shows in the writer's
 *                 optional verify (56).
 *   52 erase      [page start address, page end address (exclusive), clock]
 *                 [a, a + 1024, 0] for each page; a range of pages is erased
 *                 first to last.
 *   53 blank      [start address, byte count]
 *                 [page address, 1024, 0]. SECTOR_NOT_BLANK answers result
 *                 1 = address of the first word not 0xFFFFFFFF, 2 = that
 *                 word, 3 = 0xFFFFFFFF.
 *   56 compare    [flash address, RAM address, byte count]
 *                 the verify after a write: [a, 0x20000434, 512].
 *                 COMPARE_ERROR answers result 1 = flash address of the first
 *                 differing word, 2 = the flash word, 3 = the RAM word.
 *   57 read       [flash address, byte count]
 *                 copies up to 512 bytes of flash into the data buffer.
 *   58 erase all  [clock in kHz]
 *                 [0]. Erases the whole flash.
 *
 * A clock of 0 keeps the flash timing already set; otherwise USECRL gets
 * the clock in MHz, rounded up, minus 1 (the writer passes 12000 kHz).
 *
 * Statuses (the writer shows their names): CMD_SUCCESS 0, INVALID_COMMAND 1,
 * SRC_ADDR_ERROR 2, DST_ADDR_ERROR 3, SRC_ADDR_NOT_MAPPED 4,
 * DST_ADDR_NOT_MAPPED 5, COUNT_ERROR 6, INVALID_SECTOR 7, SECTOR_NOT_BLANK 8,
 * SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION 9, COMPARE_ERROR 10, BUSY 11.
 * The loader writes BUSY and clears the result words before anything else,
 * so a loader that never finished reads as BUSY.
 *
 * Checks, in this order; the first that fails answers. Address statuses
 * name the flash side DST and the RAM side SRC, whichever way data moves.
 *   unknown command; a parameter it does not take not 0   INVALID_COMMAND
 *   clock above 256000 kHz                                INVALID_COMMAND
 *   40: width not 32 / flash start not 0                  INVALID_COMMAND /
 *                                                         DST_ADDR_NOT_MAPPED
 *   50: first sector not in flash, last more than one
 *       past the last sector, last before first           INVALID_SECTOR
 *   52: start or end not on a page boundary               DST_ADDR_ERROR
 *   52: end not after start                               INVALID_SECTOR
 *   flash address not word-aligned                        DST_ADDR_ERROR
 *   RAM address not word-aligned                          SRC_ADDR_ERROR
 *   count 0, not a multiple of 4, or (57) above 512       COUNT_ERROR
 *   flash range past the end of flash                     DST_ADDR_NOT_MAPPED
 *   RAM range outside SRAM                                SRC_ADDR_NOT_MAPPED
 *   51, 52: range not inside the prepared sectors         SECTOR_NOT_PREPARED_
 *                                                         FOR_WRITE_OPERATION
 * Then the flash controller answers, with result 1 = the address at fault:
 *   an operation that does not end within its time
 *   budget, or a controller that stays busy before one    BUSY
 *   the controller refuses the access (protected page)    SECTOR_NOT_PREPARED_
 *                                                         FOR_WRITE_OPERATION
 */

#include <stdint.h>

#include "loader-statuses.h"

#define REG(address) (*(volatile uint32_t*)(address))

#define COMMAND_BLOCK 0x20000400u
#define RESULT_BLOCK 0x20000414u
#define DATA_BUFFER 0x20000434u
#define DATA_BUFFER_SIZE 512u

#define FLASH_BASE 0x00000000u
#define FLASH_WIDTH_BITS 32u
#define PAGE_SIZE 1024u
#define SRAM_BASE 0x20000000u
#define ERASED_WORD 0xFFFFFFFFu

#define FMA REG(0x400FD000u)
#define FMD REG(0x400FD004u)
#define FMC REG(0x400FD008u)
#define FCRIS REG(0x400FD00Cu)
#define FCMISC REG(0x400FD014u)
#define DC0 REG(0x400FE008u)
#define USECRL REG(0x400FE140u)

#define FMC_KEY 0xA4420000u
/* FMC WRITE, ERASE, MERASE and COMT are bits 0 to 3, in OP_ order below. */
#define FCRIS_ACCESS 0x1u
#define FCRIS_PROGRAM 0x2u

#define MAX_CLOCK_KHZ 256000u

/* The sectors the last prepare command accepted; none when first > last. */
static struct {
  uint32_t first;
  uint32_t last;
} prepared = {1, 0};

static uint32_t FlashSize(void) {
  return ((DC0 & 0xFFFFu) + 1u) * 2048u;
}
static uint32_t SramSize(void) {
  return ((DC0 >> 16) + 1u) * 256u;
}

/* True when [address, address + count) lies inside [base, base + size). */
static int InRange(uint32_t address, uint32_t count, uint32_t base, uint32_t size) {
  return address - base <= size && count <= size - (address - base);
}

static void ForgetPrepared(void) {
  prepared.first = 1;
  prepared.last = 0;
}

/* The flash range, the RAM address (0 when none) and the byte count of a
   command, once its parameters have been checked. */
typedef struct {
  uint32_t flash;
  uint32_t ram;
  uint32_t count;
} TTransfer;

/* Time budget of each controller operation, in microseconds, far above what
   the silicon takes: only a controller that never finishes runs it out. An
   operation waits for FMC bits (2 << its index) - 1: its own bit and the
   lower ones, which stay clear while it runs; OP_IDLE waits for all four, as
   an operation the loader did not start (the processor was reset under it)
   must end before the loader starts one. */
enum { OP_WRITE, OP_ERASE, OP_MERASE, OP_IDLE };
static const uint32_t budgetMicroseconds[] = {20000u, 500000u, 5000000u, 5000000u};

/* Waits until the operation's FMC bits clear. A poll of FMC takes at least
   four cycles, and USECRL + 1 is the clock in MHz. */
static int WaitFlash(unsigned operation) {
  const uint32_t bits = (2u << operation) - 1u;
  for (uint32_t left = ((USECRL & 0xFFu) + 1u) * (budgetMicroseconds[operation] / 4u); left != 0;
       --left)
    if ((FMC & bits) == 0)
      return 1;
  return 0;
}

/* Runs the operation on each word of a write (data from RAM), each page of
   an erase, or once for a mass erase. A failure names its address in
   result 1. FMD is written for every operation; the erases ignore it. */
static uint32_t CommandFlash(const uint32_t* params, const TTransfer* t, uint32_t operation,
                             uint32_t* results) {
  (void)params;
  const uint32_t step = operation == OP_ERASE ? PAGE_SIZE : 4u;
  uint32_t offset = 0;
  do {
    const uint32_t address = t->flash + offset;
    results[0] = address;
    if (!WaitFlash(OP_IDLE))
      return BUSY;
    FCMISC = FCRIS_ACCESS | FCRIS_PROGRAM;
    FMA = address;
    FMD = REG(t->ram + offset);
    FMC = FMC_KEY | (1u << operation);
    if (!WaitFlash(operation))
      return BUSY;
    if (FCRIS & FCRIS_ACCESS)
      return SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION;
    offset += step;
  } while (offset < t->count);
  results[0] = 0;
  return CMD_SUCCESS;
}

/* Compares flash with RAM, or with erased flash when there is no RAM side.
   The first difference answers result 1 = its flash address, 2 = the flash
   word, 3 = the word expected, and the status given. */
static uint32_t CommandCompare(const uint32_t* params, const TTransfer* t, uint32_t mismatch,
                               uint32_t* results) {
  (void)params;
  for (uint32_t offset = 0; offset < t->count; offset += 4u) {
    const uint32_t flashWord = REG(t->flash + offset);
    const uint32_t expected = t->ram != 0 ? REG(t->ram + offset) : ERASED_WORD;
    if (flashWord != expected) {
      results[0] = t->flash + offset;
      results[1] = flashWord;
      results[2] = expected;
      return mismatch;
    }
  }
  return CMD_SUCCESS;
}

static uint32_t CommandRead(const uint32_t* params, const TTransfer* t, uint32_t unused,
                            uint32_t* results) {
  (void)params;
  (void)unused;
  (void)results;
  for (uint32_t offset = 0; offset < t->count; offset += 4u)
    REG(t->ram + offset) = REG(t->flash + offset);
  return CMD_SUCCESS;
}

static uint32_t CommandInit(const uint32_t* params, const TTransfer* t, uint32_t unused,
                            uint32_t* results) {
  (void)t;
  (void)unused;
  ForgetPrepared();
  if (params[1] != FLASH_WIDTH_BITS)
    return INVALID_COMMAND;
  if (params[0] != FLASH_BASE)
    return DST_ADDR_NOT_MAPPED;
  results[0] = FlashSize();
  return CMD_SUCCESS;
}

static uint32_t CommandPrepare(const uint32_t* params, const TTransfer* t, uint32_t unused,
                               uint32_t* results) {
  (void)t;
  (void)unused;
  (void)results;
  const uint32_t sectors = FlashSize() / PAGE_SIZE;
  ForgetPrepared();
  if (params[0] >= sectors || params[1] > sectors || params[1] < params[0])
    return INVALID_SECTOR;
  prepared.first = params[0];
  prepared.last = params[1];
  return CMD_SUCCESS;
}

/* What a command's parameters are, so that one routine checks them all.
   Parameter 1 is always the flash address of a command that has one. */
enum {
  TAKES_CLOCK = 1,       /* its last parameter is the clock in kHz */
  TAKES_FLASH = 2,       /* parameter 1 flash address, then the count */
  TAKES_RAM = 4,         /* parameter 2 RAM address, parameter 3 count */
  TAKES_BUFFER = 8,      /* the data buffer is the RAM side, at most its size */
  TAKES_PAGE_RANGE = 16, /* parameter 2 is the end address; whole pages */
  NEEDS_PREPARED = 32,   /* the flash range must lie in the prepared sectors */
};

typedef uint32_t (*TCommandHandler)(const uint32_t* params, const TTransfer* t, uint32_t arg,
                                    uint32_t* results);

typedef struct {
  uint8_t code;
  uint8_t paramCount;
  uint8_t takes;
  uint8_t arg; /* passed to the handler */
  TCommandHandler handler;
} TCommand;

static const TCommand commands[] = {
    {40, 2, 0, 0, CommandInit},
    {50, 2, 0, 0, CommandPrepare},
    {51, 4, TAKES_CLOCK | TAKES_FLASH | TAKES_RAM | NEEDS_PREPARED, OP_WRITE, CommandFlash},
    {52, 3, TAKES_CLOCK | TAKES_FLASH | TAKES_PAGE_RANGE | NEEDS_PREPARED, OP_ERASE, CommandFlash},
    {53, 3, TAKES_FLASH, SECTOR_NOT_BLANK, CommandCompare},
    {56, 3, TAKES_FLASH | TAKES_RAM, COMPARE_ERROR, CommandCompare},
    {57, 2, TAKES_FLASH | TAKES_BUFFER, 0, CommandRead},
    {58, 1, TAKES_CLOCK, OP_MERASE, CommandFlash},
};

/* Checks the parameters and fills in the transfer. Address statuses name
   the flash side DST and the RAM side SRC, whichever way the data moves. */
__attribute__((noinline)) static uint32_t CheckParams(const TCommand* command,
                                                      const uint32_t* params, TTransfer* t) {
  const uint32_t takes = command->takes;
  const uint32_t clockKHz = params[command->paramCount - 1u];
  for (unsigned i = command->paramCount; i < 4; ++i)
    if (params[i] != 0)
      return INVALID_COMMAND;
  if ((takes & TAKES_CLOCK) && clockKHz > MAX_CLOCK_KHZ)
    return INVALID_COMMAND;

  if (takes & TAKES_FLASH) {
    const uint32_t flash = params[0];
    const uint32_t ram = (takes & TAKES_RAM) ? params[1] : (takes & TAKES_BUFFER) ? DATA_BUFFER : 0;
    uint32_t count = params[(takes & TAKES_RAM) ? 2 : 1];
    if (takes & TAKES_PAGE_RANGE) {
      if ((flash | count) & (PAGE_SIZE - 1u))
        return DST_ADDR_ERROR;
      if (count <= flash)
        return INVALID_SECTOR;
      count -= flash;
    }
    if (flash & 3u)
      return DST_ADDR_ERROR;
    if (ram & 3u)
      return SRC_ADDR_ERROR;
    if (count == 0 || (count & 3u) || ((takes & TAKES_BUFFER) && count > DATA_BUFFER_SIZE))
      return COUNT_ERROR;
    if (!InRange(flash, count, FLASH_BASE, FlashSize()))
      return DST_ADDR_NOT_MAPPED;
    if (ram != 0 && !InRange(ram, count, SRAM_BASE, SramSize()))
      return SRC_ADDR_NOT_MAPPED;
    /* Nothing prepared (first 1, last 0) fails one of the two bounds. */
    if ((takes & NEEDS_PREPARED) &&
        (flash / PAGE_SIZE < prepared.first || (flash + count - 1u) / PAGE_SIZE > prepared.last))
      return SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION;
    t->flash = flash;
    t->ram = ram;
    t->count = count;
  }
  /* Flash timing for the clock given; 0 keeps the one set. */
  if ((takes & TAKES_CLOCK) && clockKHz != 0)
    USECRL = (clockKHz + 999u) / 1000u - 1u;
  return CMD_SUCCESS;
}

/* Entered from LoaderEntry with the command block's address, so that the
   blocks are reached through one base register. */
void LoaderRun(uint32_t* block) {
  const uint32_t* const params = block + 1;
  uint32_t* const result = block + (RESULT_BLOCK - COMMAND_BLOCK) / 4u;
  result[0] = BUSY;
  for (unsigned i = 1; i < 5; ++i)
    result[i] = 0;

  uint32_t status = INVALID_COMMAND;
  for (const TCommand* c = commands; c != commands + sizeof commands / sizeof commands[0]; ++c) {
    if (c->code != block[0])
      continue;
    TTransfer transfer = {0, 0, 0};
    status = CheckParams(c, params, &transfer);
    if (status == CMD_SUCCESS)
      status = c->handler(params, &transfer, c->arg, result + 1);
    break;
  }

  /* The writer may read the block as soon as the status changes: the result
     words are stored before it. The halt that follows drains the stores. */
  __asm__ volatile("" ::: "memory");
  result[0] = status;
}

#ifndef VANDREL_TESTS_LINKEROUTPUTS_H
#define VANDREL_TESTS_LINKEROUTPUTS_H

#include <QString>

// A small Cortex-M program built from assembly by binutils-arm-none-eabi, as
// a linker leaves it: a vector table at 0x08000020 (the payload address of
// start address 0x08000000), .text after it, .calib at 0x08000400 (a gap
// inside the flash segment), .data run at 0x20000000 but loaded from flash
// behind .calib, and a .bss without contents. Entry point: reset.
namespace LinkerOutputs {
constexpr char Elf[] = "app.elf";           // 32-bit little-endian executable
constexpr char BigEndianElf[] = "app_be.elf";
constexpr char Object[] = "app.o";          // the relocatable object it was linked from
constexpr char Assembler[] = "arm-none-eabi-as";
}

// Builds the program into folder; false with error set when a tool is
// missing or fails.
bool BuildArmProgram(const QString &folder, QString *error);

#endif

#include "linkeroutputs.h"

#include "referencetools.h"
#include "testfiles.h"

#include <QDir>

namespace {
const char ArmProgram[] = R"(
    .syntax unified
    .cpu cortex-m3
    .thumb
    .section .vectors, "a"
    .word 0x20001000
    .word reset + 1
    .word 0x11111111, 0x22222222
    .text
    .global reset
    .thumb_func
reset:
    ldr r0, =value
    ldr r1, [r0]
    b reset
    .section .calib, "a"
    .word 0xCAFEBABE, 0x12345678
    .data
value:
    .word 0xDEADBEEF, 0x01020304
    .bss
    .space 256
)";

const char ArmLinkerScript[] = R"(
MEMORY {
  FLASH (rx) : ORIGIN = 0x08000020, LENGTH = 64K
  RAM (rwx) : ORIGIN = 0x20000000, LENGTH = 8K
}
ENTRY(reset)
SECTIONS {
  .vectors : { KEEP(*(.vectors)) } > FLASH
  .text : { *(.text*) *(.rodata*) } > FLASH
  .calib 0x08000400 : { KEEP(*(.calib)) } > FLASH
  .data : { *(.data*) } > RAM AT > FLASH
  .bss (NOLOAD) : { *(.bss*) } > RAM
}
)";
} // namespace

bool BuildArmProgram(const QString &folder, QString *error)
{
    const QDir dir(folder);
    const auto path = [&dir](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    if (!WriteFile(path("app.s"), ArmProgram) || !WriteFile(path("app.ld"), ArmLinkerScript)) {
        *error = QStringLiteral("cannot write the program's sources into %1").arg(folder);
        return false;
    }
    const QString as = QString::fromLatin1(LinkerOutputs::Assembler);
    const QString ld = QStringLiteral("arm-none-eabi-ld");
    return RunTool(as, {path("app.s"), QStringLiteral("-o"), path(LinkerOutputs::Object)}, nullptr, error)
           && RunTool(ld, {QStringLiteral("-T"), path("app.ld"), path(LinkerOutputs::Object), QStringLiteral("-o"),
                           path(LinkerOutputs::Elf)},
                      nullptr, error)
           && RunTool(as, {QStringLiteral("-EB"), path("app.s"), QStringLiteral("-o"), path("app_be.o")}, nullptr,
                      error)
           && RunTool(ld, {QStringLiteral("-EB"), QStringLiteral("-T"), path("app.ld"), path("app_be.o"),
                           QStringLiteral("-o"), path(LinkerOutputs::BigEndianElf)},
                      nullptr, error);
}

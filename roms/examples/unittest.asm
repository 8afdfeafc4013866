; An example of a test program for the board: it checks a routine against a
; table of cases and ends with the emulator trap ED FE, A holding the number
; of cases that failed. Run it as the boot ROM with
;     vexa-headless --exit-on-trap --frames 5
; and the exit status is 0 when every case passes. unittest.sym, written
; beside unittest.rom by the build, gives the debugger its labels.
EXPECT_256: equ 256
            include "unittest.inc"

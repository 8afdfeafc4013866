; The shipped example test program with one expectation wrong: one case
; fails, so the run must end with exit status 1.
EXPECT_256: equ 0x0101
            include "unittest.inc"

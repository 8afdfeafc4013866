; The example test program exactly as roms/examples ships it.
            include "unittest.asm"

; Waits for the audio interrupts in HALT, which hands the rest of each slice
; to the devices at once.
        include "loop_irq.inc"
spin:   halt
        jr spin

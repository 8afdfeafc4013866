; Waits for the audio interrupts in a busy loop.
        include "loop_irq.inc"
spin:   jr spin

/* A small C program for the sdcc linker's symbol files. */
unsigned char counter;
unsigned int total;

static void bump(unsigned char step) {
    counter += step;
    total += counter;
}

void main(void) {
    for (;;) bump(3);
}

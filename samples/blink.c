/* A blinking counter for the VX930 emulator: P1 shows a running count,
   the low bit blinks, and every eighth step a pattern is shifted out on P2. */
#include <8051.h>

unsigned char counter;
unsigned char pattern = 0x01;
__xdata unsigned char ticks;

void delay(unsigned char n)
{
    unsigned char i;
    while (n--) {
        for (i = 0; i < 10; i++)
            ;
    }
}

unsigned char rotate(unsigned char v)
{
    if (v & 0x80)
        return (v << 1) | 1;
    return v << 1;
}

void show(unsigned char value)
{
    P1 = value;
    if ((value & 0x07) == 0) {
        pattern = rotate(pattern);
        P2 = pattern;
    }
}

void main(void)
{
    counter = 0;
    for (;;) {
        show(counter);
        counter++;
        ticks++;
        delay(3);
    }
}

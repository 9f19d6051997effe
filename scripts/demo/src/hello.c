#include <stdio.h>

int main(void)
{
    printf("Hello from inside an archive!\n");
    return 0;
}

// Does nothing: timing its run under Wine gives the cost of starting and
// ending a process, which the whole-process timings of other installers carry.
int main()
{
    return 0;
}

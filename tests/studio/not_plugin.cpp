// A shared library that exports nothing a host looks for.
extern "C" int studioTestHelperValue()
{
    return 42;
}

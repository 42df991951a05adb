// The entry point of a sample built here without a C runtime: main, then
// its status as the process's exit code.
extern "C" __declspec(dllimport) void __stdcall ExitProcess(unsigned code);
int main();
extern "C" void HostMain() { ExitProcess(unsigned(main())); }

// A shared library that is not an automation server.
extern "C" int AutomationTestNotAServer() { return 1; }

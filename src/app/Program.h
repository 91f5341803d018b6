#pragma once
// The program as a whole: its windows and the message loop, shared by main() and the tests
// that run the program end to end.
#include <functional>
#include <string>

class TUserInterface;
struct TForms;

// Creates the windows, opens `firstArgument` ("" for none), calls `started` (if any) and
// runs the message loop until the main window closes. Answers the exit code.
int RunProgram(TUserInterface& ui, const std::string& firstArgument, const std::function<void(TForms&)>& started = {});

// Ends the message loop, and every loop nested in it, without asking the other windows:
// a scanner's dialog that refuses to close must not keep the program alive unseen.
void EndProgram();

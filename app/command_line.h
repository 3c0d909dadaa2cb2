// The only arguments the program answers: --version and --help print and end the process with 0.
// Anything else is ignored, and the panel runs as it always does.
#pragma once

// Returns true when an argument was answered and the process should end with exit code 0.
bool AnswerInformationRequest(int argc, char** argv);

// Names of the serial status codes, as the program shows them to the user.
#pragma once

// Copies the name of code (with its terminating zero) into buffer, which holds
// at least 32 bytes, and returns buffer. Unknown codes give "ISP_UNKNOWN_ERR".
char* StatusCodeName(int code, char* buffer);

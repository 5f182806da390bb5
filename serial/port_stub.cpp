// Temporary: every port operation fails until the termios back end lands.
#include "portavel.h"

PORTAVEL_API int SetComPort_WIN(int, char*) { return QVX_COMPORT_NUMBER_ERR; }
PORTAVEL_API int InitRs232_WIN(char*, HANDLE* handleOut, unsigned, int, unsigned, int) {
    *handleOut = INVALID_HANDLE_VALUE;
    return QVX_COMPORT_INIT_ERR;
}
PORTAVEL_API int RsRequest_WIN(HANDLE, DWORD, const unsigned char*) { return QVX_COMPORT_REQUEST_ERR; }
PORTAVEL_API int RsReceive_WIN(HANDLE, DWORD, DWORD* bytesRead, unsigned char*) {
    *bytesRead = 0;
    return QVX_COMPORT_RECEIVE_ERR;
}
PORTAVEL_API int RsClose_WIN(HANDLE) { return QVX_COMPORT_CLOSE_ERR; }
PORTAVEL_API int Set_TimeOut_WIN(HANDLE, DWORD, DWORD, DWORD, DWORD, DWORD) {
    return QVX_COMPORT_SET_COM_TIMEOUT_ERR;
}

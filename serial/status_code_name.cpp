#include "status_code_name.h"

#include <cstring>

namespace {
struct CodeName {
    int code;
    const char* name;
};

constexpr CodeName kNames[] = {
    {0, "QVX_SUCCESS"},
    {2625, "QVX_COMPORT_NUMBER_ERR"},
    {2626, "QVX_COMPORT_INIT_ERR"},
    {2627, "QVX_COMPORT_GET_COM_STATE_ERR"},
    {2628, "QVX_COMPORT_SET_COM_STATE_ERR"},
    {2629, "QVX_COMPORT_GET_COM_TIMEOUT_ERR"},
    {2630, "QVX_COMPORT_SET_COM_TIMEOUT_ERR"},
    {2631, "QVX_COMPORT_RECEIVE_ERR"},
    {2632, "QVX_COMPORT_REQUEST_ERR:"},
    {2633, "QVX_COMPORT_TIMEOUT_ERR"},
    {2634, "QVX_COMPORT_CLOSE_ERR"},
    {2672, "ISP_ERASE_ERR"},
    {2673, "ISP_PROGRAM_ERR"},
    {2674, "ISP_PROTECT_ERR"},
    {2675, "ISP_VERIFY_ERR"},
    {2676, "ISP_RETURN_ERR"},
    {2677, "ISP_CARD_INSERT_ERR"},
    {2678, "ISP_FILE_ERROR"},
    {2687, "ISP_UNKNOWN_ERR"},
};
} // namespace

char* StatusCodeName(int code, char* buffer) {
    const char* name = "ISP_UNKNOWN_ERR";
    for (const CodeName& entry : kNames) {
        if (entry.code == code) {
            name = entry.name;
            break;
        }
    }
    std::strcpy(buffer, name); // longest name is 31 characters plus the zero
    return buffer;
}

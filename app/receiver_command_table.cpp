#include "receiver_command_table.h"

// The three characters before "$" are the item's number; the sender drops them.
const CommandHelpText ReceiverCommandTable[kReceiverCommandCount] = {
    {"01.$PXEMSNM,013F,01*", "輸出全部NMEA 命令"},
    {"02.$PXEMSNM,0119,01*", "輸出預設NMEA 命令"},
    {"03.$PXEMRDI,*", "接收GPS 模組診斷說明"},
    {"04.$PXEMSPS,0*", "設定每秒輸出Pulse關閉"},
    {"05.$PXEMSPS,1*", "設定每秒輸出Pulse開啟"},
    {"06.$PXEMSRT,C*", "Cold Reset"},
    {"07.$PXEMSRT,W*", "Warm Reset"},
    {"08.$PXEMSRT,H*", "Hot Reset"},
    {"09.$PXEMSRT,S*", "Start Library"},
    {"10.$PXEMSRT,X*", "Shut down Library "},
    {"11.$PXEMQVR,M*", "版本資訊-Module Firmware"},
    {"12.$PXEMQVR,A*", "版本資訊-GPS API"},
    {"13.$PXEMQVR,N*", "版本資訊-GPS Library"},
    {"14.$PXEMQVR,R*", "版本資訊-Native RTOS"},
    {"15.$PXEMQVR,U*", "版本資訊-Native Processor"},
    {"16.$PXEMSLP*", "Sleep Mode"},
    {"17.$PXEMQVR*", "Wake UP"},
    {"18.$PXEMQTR,AQAS*", "Almabac Check"},
    {"19.$PXEMQVR,V*", "版本資訊-Firmware flash"},
};

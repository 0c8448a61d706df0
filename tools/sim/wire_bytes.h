// Building messages byte by byte, for the answers whose items CZkMSG cannot write
// (single bytes and shorts, which it only reads), and sending on the sim's
// blocking sockets. Layout of a message and its items: protocol/message.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/socket.h"

void AppendByte(std::vector<uint8_t>* bytes, uint8_t value);
void AppendShort(std::vector<uint8_t>* bytes, uint16_t value);
void AppendInt(std::vector<uint8_t>* bytes, uint32_t value);
// int n, the n bytes of text, zero padding to a multiple of 4.
void AppendString(std::vector<uint8_t>* bytes, const std::string& text);
// Header (queryId, code, payload length) and payload.
std::vector<uint8_t> WireMessage(uint16_t queryId, uint16_t code, const std::vector<uint8_t>& payload);

// Every byte, or false when the connection failed.
bool SendAllBlocking(platform::SocketHandle socket, const std::vector<uint8_t>& bytes);

#include "link/bytelink.h"

void ByteLink::checkQueueRoom(std::size_t waiting, std::size_t bytes)
{
    if (bytes > WriteQueueLimit)
        throw SerialError(SerialError::TooLong, "the command is longer than the line can queue (" +
                                                    std::to_string(bytes) + " bytes, at most " +
                                                    std::to_string(WriteQueueLimit) + ")");
    if (waiting + bytes > WriteQueueLimit)
        throw SerialError(SerialError::LineBusy,
                          "the line is not taking data (" + std::to_string(waiting) + " bytes waiting)");
}

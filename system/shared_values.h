// Short texts handed between running copies of the program, each in a named shared-memory
// segment "QSharedMemory_For_Pellanor_<key>". A segment holds one string in Qt's data-stream form
// of a QString (32-bit big-endian byte count, then UTF-16 big-endian units): the indented JSON
// text of an object whose one member is the key with its text value.
//
// A value lives while some process holds its segment: the process that set it holds it until
// the key is set again or the process ends (segments are detached at exit on every system, so a
// value never outlives the processes that hold it). Calls block briefly on the segment's lock.
#pragma once

#include <QString>

namespace pellanor::system {

// The `setSharedMemoryValue` script method. Replaces this process's segment of the key with one
// of the value's size. When another process still holds the key's segment, the value is
// written into that one if it fits; if it does not fit, or the segment cannot be attached or
// locked, nothing is written, the old value stays intact, and the answer is false with a log
// line.
bool setSharedMemoryValue(const QString& key, const QString& value);

// The `getSharedMemoryValue` script method: the key's value, or empty text when no segment of
// the key exists or it holds no text value under the key. The process that set the key reads
// through the segment it holds.
QString getSharedMemoryValue(const QString& key);

}  // namespace pellanor::system

// DbxException: the one error the DBX reader throws, with the reader's fixed texts.
#pragma once
#include <cstdint>
#include <exception>
#include <string>

// The reader's fixed messages. Callers may compare Message() with them.
constexpr const char* DBX_ERR_READ_OBJECT = "Error reading object from input stream !";
constexpr const char* DBX_ERR_READ = "Error reading from input stream !";
constexpr const char* DBX_ERR_READ_NODE = "Error reading node from input stream !";
constexpr const char* DBX_ERR_MARKER = "Wrong object marker !";
constexpr const char* DBX_ERR_PARENT = "Wrong parent !";
constexpr const char* DBX_ERR_ENTRIES = "Wrong value for entries !";
constexpr const char* DBX_ERR_TOO_MANY_TO_READ = "To many values to read !";
constexpr const char* DBX_ERR_TOO_MANY = "To many values !";
constexpr const char* DBX_ERR_VALUE_COUNT = "Wrong number of values found!";
constexpr const char* DBX_ERR_WRONG_INDEX = "Wrong index !";
constexpr const char* DBX_ERR_INDEX_TOO_BIG = "Index to big !";
constexpr const char* DBX_ERR_NO_TEXT = "No text found !";
constexpr const char* DBX_ERR_MEMORY = "Error allocating memory !";
// Damage that a sound file never shows: a node met twice, a tree deeper than any real
// one, index data that lies outside its record, text blocks that overlap or loop.
constexpr const char* DBX_ERR_NODE_TWICE = "Index node referenced twice !";
constexpr const char* DBX_ERR_TREE_DEPTH = "Index tree too deep !";
constexpr const char* DBX_ERR_INDEX_DATA = "Index data outside the record !";
constexpr const char* DBX_ERR_TEXT_OVERLAP = "Message text blocks overlap !";

// Thrown by value. Message() is one of the texts above; Offset() names the file offset of
// the object that failed (the record, node or block being read), when one is known.
class DbxException : public std::exception {
public:
    static constexpr uint64_t NO_OFFSET = ~uint64_t(0);

    explicit DbxException(const char* message, uint64_t offset = NO_OFFSET);

    const std::string& Message() const { return m_message; }
    uint64_t Offset() const { return m_offset; }
    // The message with the offset, e.g. "Wrong object marker ! (offset 0x00002A10)".
    std::string Describe() const;
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
    uint64_t m_offset;
};

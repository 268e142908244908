#pragma once

#include <sys/types.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

// The file side of CMarkup's saves and of its stream mode. Elements that can no longer change are
// printed exactly as a whole-document save would print them and then dropped from the document, so
// memory holds only the open path of the tree. Output goes to a temporary file beside the
// target, which Finish renames over it.
class CMarkupStream {
public:
    CMarkupStream() = default;
    ~CMarkupStream();
    CMarkupStream(const CMarkupStream&) = delete;
    CMarkupStream& operator=(const CMarkupStream&) = delete;

    // Opens the temporary file and writes the declaration; false with `error` set on failure.
    bool Open(const char* path, bool ownerOnly, const char* declaration, std::string& error);

    // Prints every child of `parent` (the document or an element) and removes it from the
    // document, printing the start tags of `parent` and its ancestors first when needed.
    void FlushChildren(pugi::xml_node parent);
    // True when the start tag of `node` is already in the file: it takes no more attributes.
    bool IsStarted(pugi::xml_node node) const;
    // Prints everything so far inside `node` (the start tags of it and its ancestors first),
    // then `size` bytes of `text` as they are.
    void WriteInside(pugi::xml_node node, const char* text, size_t size);

    // Prints a whole document, leaving it as it is (a plain save).
    void WriteDocument(const pugi::xml_document& doc);

    // Syncs, closes and renames over the target. False when any write failed; the target is
    // then untouched and the temporary file removed.
    bool Close(std::string& error);

private:
    void EnsureStarted(pugi::xml_node node);
    void PrintRemaining(pugi::xml_node node, unsigned depth);
    void Write(const char* data, size_t size);
    void Drain(bool all);
    void Abandon();

    int m_fd = -1;
    bool m_failed = false;
    off_t m_written = 0;      // bytes in the file
    off_t m_writtenBack = 0;  // bytes whose write-back to disk has been started

    mode_t m_mode = 0644;
    std::string m_target;
    std::string m_temp;
    std::string m_buffer;
    std::vector<pugi::xml_node_struct*> m_started;  // elements whose start tag is written
    pugi::xml_document m_scratch;
};

#include "FuzzSupport.h"

#include "text/QmCatalogue.h"
#include "text/TextIds.h"

#include <QTranslator>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace {

// The bytes placed right before an unreadable page: Qt is not instrumented, so a read past the
// end of an accepted catalogue must fault by itself.
class GuardedCopy
{
public:
    explicit GuardedCopy(const QByteArray& bytes)
    {
        const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
        const std::size_t readable = (std::size_t(bytes.size()) + page - 1) / page * page;
        m_length = readable + page;
        void* mapping = mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            fuzzFinding("memory for the catalogue can be mapped");
        m_base = static_cast<unsigned char*>(mapping);
        mprotect(m_base + readable, page, PROT_NONE);
        m_data = m_base + readable - std::size_t(bytes.size());
        std::memcpy(m_data, bytes.constData(), std::size_t(bytes.size()));
    }
    ~GuardedCopy() { munmap(m_base, m_length); }
    GuardedCopy(const GuardedCopy&) = delete;
    GuardedCopy& operator=(const GuardedCopy&) = delete;

    const unsigned char* data() const { return m_data; }

private:
    unsigned char* m_base = nullptr;
    std::size_t m_length = 0;
    unsigned char* m_data = nullptr;
};

} // namespace

// A catalogue the check lets through is read by QTranslator without leaving its bytes, whatever
// text is looked up.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto loadable = loadableQmCatalogue(QByteArrayView(data, qsizetype(size)));
    if (!loadable)
        return 0;
    const GuardedCopy copy(*loadable);
    QTranslator translator;
    if (!translator.load(copy.data(), int(loadable->size())))
        return 0;
    for (int id = TextId::First; id <= TextId::Last; ++id)
        (void)translator.translate("", QByteArray::number(id).constData());
    // Texts the input names itself, so that mutated hashes can be reached too.
    for (const QByteArray& key :
         QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)).right(64).split('\0'))
        (void)translator.translate("", key.constData());
    return 0;
}

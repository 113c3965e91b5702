#include "reporting/WorkbookWriting.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "reporting/XercesProblems.h"

using namespace XERCES_CPP_NAMESPACE;

bool SerializeWorkbook(
    DOMImplementation& implementation, const DOMDocument& document, std::string& bytes, std::string& whyNot)
{
    FirstProblem problems;
    MemBufFormatTarget target(1 << 20);
    DOMLSSerializer* writer = implementation.createLSSerializer();
    writer->getDomConfig()->setParameter(XMLUni::fgDOMErrorHandler, static_cast<DOMErrorHandler*>(&problems));
    DOMLSOutput* output = implementation.createLSOutput();
    output->setByteStream(&target);
    // Always UTF-8, whatever encoding the file read declared: a declared encoding the library cannot write (UTF-7,
    // say) must not make every later save fail.
    output->setEncoding(u"UTF-8");
    bool written = false;
    CatchXercesErrors(problems.message, [&] { written = writer->write(&document, output); });
    output->release();
    writer->release();
    if (!written || !problems.message.empty()) {
        whyNot = "the writer failed: " + problems.message;
        return false;
    }
    bytes.assign(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
    return true;
}

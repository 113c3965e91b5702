#pragma once
// How a parse or a write with the XML library reports its first problem, whether the library raises it through its
// error handler or as an exception.

#include <string>

#include <xercesc/dom/DOMError.hpp>
#include <xercesc/dom/DOMErrorHandler.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "reporting/WorkbookParsing.h"

// Remembers the first problem the parser or the writer reports; stops at fatal ones.
class FirstProblem : public XERCES_CPP_NAMESPACE::DOMErrorHandler {
public:
    bool handleError(const XERCES_CPP_NAMESPACE::DOMError& error) override
    {
        using XERCES_CPP_NAMESPACE::DOMError;
        if (error.getSeverity() == DOMError::DOM_SEVERITY_WARNING)
            return true;
        if (message.empty())
            message = Utf8(error.getMessage());
        return error.getSeverity() != DOMError::DOM_SEVERITY_FATAL_ERROR;
    }

    std::string message;  // empty while nothing went wrong
};

// Runs a parse or a write; a Xerces exception becomes the message (the first problem wins, as with the error
// handler).
template <class F> void CatchXercesErrors(std::string& message, F&& work)
{
    try {
        work();
    } catch (const XERCES_CPP_NAMESPACE::XMLException& error) {
        message = Utf8(error.getMessage());
    } catch (const XERCES_CPP_NAMESPACE::DOMException& error) {
        message = Utf8(error.getMessage());
    } catch (const XERCES_CPP_NAMESPACE::OutOfMemoryException&) {
        message = "out of memory";
    }
}

#pragma once

#include "Model.h"

#include <vector>

namespace rtf::detail {

// Keeps what the side text (headers, footers, footnotes, comments, text boxes) reports, to be given to the
// document's sink after the body.
class SideText final : public Sink {
public:
    bool isEmpty() const { return m_events.empty(); }

    void text(const QString& text, const CharProps& props) override {
        m_events.push_back({Kind::Text, text, props, {}, -1});
    }
    void endParagraph(const ParaProps& props) override {
        m_events.push_back({Kind::Paragraph, {}, {}, props, -1});
    }
    void image(const Picture& picture, const CharProps& props) override {
        m_pictures.push_back(picture);
        m_events.push_back({Kind::Image, {}, props, {}, int(m_pictures.size() - 1)});
    }
    void finish(const ParaProps*) override {}

    void kept(const KeptGroup&, const CharProps&) override {}

    // The text collected since the last call, paragraphs separated by "\n"; forgets it.
    QString takeText() {
        QString text;
        for (const Event& e : m_events) {
            if (e.kind == Kind::Text)
                text.append(e.text);
            else if (e.kind == Kind::Paragraph)
                text.append(u'\n');
        }
        m_events.clear();
        m_pictures.clear();
        while (text.endsWith(u'\n'))
            text.chop(1);
        return text;
    }

    void replay(Sink& sink) const {
        for (const Event& e : m_events) {
            switch (e.kind) {
            case Kind::Text:
                sink.text(e.text, e.chr);
                break;
            case Kind::Paragraph:
                sink.endParagraph(e.para);
                break;
            case Kind::Image:
                sink.image(m_pictures[size_t(e.picture)], e.chr);
                break;
            }
        }
    }

private:
    enum class Kind : quint8 { Text, Paragraph, Image };
    struct Event {
        Kind kind;
        QString text;
        CharProps chr;
        ParaProps para;
        int picture;
    };
    std::vector<Event> m_events;
    std::vector<Picture> m_pictures;
};

} // namespace rtf::detail

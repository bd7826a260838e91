#include "gui/PageHost.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <utility>

#include "gui/PageBridge.h"
#include "gui/PageOrigin.h"
#include "gui/PageScript.h"
#include "gui/PageView.h"
#include "gui/WebSocketGuard.h"
#include "platform/Log.h"

namespace zn::gui {

namespace {

const QString kScriptName = QStringLiteral("zn-click-forwarder");

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QUrl FromAddress(std::string_view address) {
    return QUrl(FromUtf8(address), QUrl::TolerantMode);
}

// The browser writes a file's address in its own percent-encoding.
bool SameAddress(const QUrl& a, const QUrl& b) {
    if (a.isLocalFile() && b.isLocalFile()) {
        return QDir::cleanPath(a.toLocalFile()) == QDir::cleanPath(b.toLocalFile()) &&
               a.query() == b.query();
    }
    return a.adjusted(QUrl::NormalizePathSegments) == b.adjusted(QUrl::NormalizePathSegments);
}

// A call of `function` with the arguments as JSON, so no text from the program becomes code.
QString ScriptCall(const QString& function, const QJsonArray& arguments) {
    return QStringLiteral("(%1).apply(null, %2);")
        .arg(function, QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)));
}

}  // namespace

PageHost::PageHost(QWidget* parent)
    : QWidget(parent),
      m_view(new PageView(this)),
      m_bridge(new PageBridge(
          [this](std::string id, PageValues values) {
              if (!FromAllowedOrigin()) {
                  return;
              }
              // Out of the channel's callback before the program acts on the click.
              QMetaObject::invokeMethod(
                  this,
                  [this, id = std::move(id), values = std::move(values)] {
                      emit Clicked(id, values);
                  },
                  Qt::QueuedConnection);
          },
          this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    auto* channel = new QWebChannel(this);
    channel->registerObject(QString::fromLatin1(kBridgeName), m_bridge);
    QWebEnginePage* page = m_view->page();
    page->setWebChannel(channel, QWebEngineScript::MainWorld);
    // A pushed page shown from a file must not read the seat's other files.
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    page->setUrlRequestInterceptor(new WebSocketGuard(this));
    SetBoundIds({});

    connect(page, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        if (!SameAddress(url, m_requested)) {
            m_requested.clear();
        }
    });
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
            m_loadStart = info.url();
        }
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
            LearnRedirect(m_loadStart, info.url());
        }
        if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus &&
            SameAddress(info.url(), m_requested)) {
            m_requested.clear();
        }
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
            emit LoadFinished(info.url(), true);
        } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
            // Without the query: a login query carries the password.
            log::Warn("page {} did not load: {} (error {})",
                      info.url().toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo).toStdString(),
                      info.errorString().toStdString(), info.errorCode());
            emit LoadFinished(info.url(), false);
        }
    });
}

PageHost::~PageHost() = default;

void PageHost::SetBoundIds(const std::vector<std::string>& ids,
                           const std::vector<std::string>& bodyIds) {
    QStringList bound;
    for (const std::string& id : ids) {
        bound.append(QString::fromStdString(id));
    }
    QStringList body;
    for (const std::string& id : bodyIds) {
        body.append(QString::fromStdString(id));
    }
    QWebEngineScriptCollection& scripts = m_view->page()->scripts();
    for (const QWebEngineScript& old : scripts.find(kScriptName)) {
        scripts.remove(old);
    }
    QWebEngineScript script;
    script.setName(kScriptName);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(ClickForwarderScript(bound, body));
    scripts.insert(script);
    m_bridge->SetBoundIds(std::move(bound), std::move(body));
}

void PageHost::SetClickOrigins(OriginSource origins) {
    m_origins = std::move(origins);
}

bool PageHost::FromAllowedOrigin() {
    // The channel lives in the top document only, so the page's address is the sender's.
    const QUrl url = m_view->page()->url();
    if (m_origins) {
        const PageOrigins origins = m_origins();
        if (IsAllowedOrigin(origins, url) ||
            (origins.followRedirects && m_redirectOrigins.contains(OriginOf(url)))) {
            return true;
        }
    }
    if (url != m_lastRefused) {
        m_lastRefused = url;
        log::Warn("click from {} refused: not one of the program's pages",
                  log::Printable(url.toString().toStdString()));
    }
    const QString origin = OriginOf(url);
    if (!m_toldOrigins.contains(origin) && m_toldOrigins.size() < kMaxKeptOrigins) {
        m_toldOrigins.insert(origin);
        QMetaObject::invokeMethod(
            this, [this, url] { emit ClickRefused(url); }, Qt::QueuedConnection);
    }
    return false;
}

// A load that began at an admitted page and ended elsewhere was moved there by the server (a page's
// own navigation starts a load of its own): the operator's host sent the browser there.
void PageHost::LearnRedirect(const QUrl& start, const QUrl& end) {
    if (!m_origins || start.isEmpty() || OriginOf(start) == OriginOf(end)) {
        return;
    }
    const PageOrigins origins = m_origins();
    const QString origin = OriginOf(end);
    if (!origins.followRedirects || origin.isEmpty() || !IsAllowedOrigin(origins, start) ||
        IsAllowedOrigin(origins, end) || m_redirectOrigins.contains(origin) ||
        m_redirectOrigins.size() >= kMaxKeptOrigins) {
        return;
    }
    m_redirectOrigins.insert(origin);
    log::Info(
        "{} redirected to {}: clicks from its pages count",
        log::Printable(start.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo).toStdString()),
        log::Printable(origin.toStdString()));
}

void PageHost::Navigate(const QUrl& url) {
    m_requested = url;
    m_view->load(url);
}

void PageHost::Navigate(std::string_view address) {
    Navigate(FromAddress(address));
}

bool PageHost::Shows(const QUrl& url) const {
    if (!m_requested.isEmpty()) {
        return SameAddress(url, m_requested);
    }
    return SameAddress(url, m_view->page()->url());
}

bool PageHost::Shows(std::string_view address) const {
    return Shows(FromAddress(address));
}

void PageHost::SetElementValue(std::string_view id, std::string_view value) {
    m_view->page()->runJavaScript(
        ScriptCall(QStringLiteral("function (id, value) {"
                                  " var element = document.getElementById(id);"
                                  " if (element) { element.value = value; } }"),
                   {FromUtf8(id), FromUtf8(value)}),
        QWebEngineScript::MainWorld);
}

void PageHost::ReadOuterHtml(MarkupPart part, MarkupCallback done) {
    const QString script = ScriptCall(
        QStringLiteral("function (part, limit) {"
                       " var element = part === 'body' ? document.body : document.documentElement;"
                       " if (!element) { return null; }"
                       " var html = element.outerHTML;"
                       " return html.length > limit ? false : html; }"),
        {part == MarkupPart::Body ? QStringLiteral("body") : QStringLiteral("document"),
         static_cast<double>(kMaxMarkupChars)});
    m_view->page()->runJavaScript(
        script, QWebEngineScript::MainWorld, [done = std::move(done)](const QVariant& result) {
            if (result.typeId() == QMetaType::QString) {
                const QString html = result.toString();
                if (static_cast<std::size_t>(html.size()) > kMaxMarkupChars) {
                    done(MarkupStatus::TooLarge, {});
                } else {
                    done(MarkupStatus::Read, html.toStdString());
                }
            } else if (result.typeId() == QMetaType::Bool) {
                done(MarkupStatus::TooLarge, {});
            } else {
                done(MarkupStatus::NoElement, {});
            }
        });
}

QWebEngineView* PageHost::View() const {
    return m_view;
}

}  // namespace zn::gui

#include "ui/help_window.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "ui/dialog_units.h"

namespace varno::ui {
namespace {

const char* const HelpText = R"(
<h3>Entering a problem</h3>
<ol>
<li>Pick the dimension n (2, 3, 4, 5 or 6) in <b>Select Dimension</b>.</li>
<li>Pick <b>Edit K matrix</b> in <b>Select Action</b> and type the upper triangle of K;
the lower one is filled from it.</li>
<li>Pick <b>Edit M matrix</b> and type the upper triangle of M.</li>
<li>Press <b>Calculate</b> (or Enter). The eigenvalues of K x = &lambda; M x appear in a message box;
<b>Modes&hellip;</b> then shows the modes where M, &minus;M, K or &minus;K is definite.</li>
</ol>
<p>A cell is read as you type: the leading number is taken, anything after it ignored.
The decimal separator is always &ldquo;.&rdquo;. A whole matrix pasted into any cell
(rows on lines or separated by &ldquo;;&rdquo;, entries by blanks or tabs) fills the matrix shown.</p>
<h3>Marks on cells</h3>
<p>A cell tinted red holds text that is not read as it looks; its tooltip says what was stored:
&ldquo;read as 1&rdquo; for <tt>1,5</tt>, &ldquo;read as 0&rdquo; for text that is no number,
&ldquo;too large: read as infinity&rdquo; for <tt>1e999</tt>. The mark stays, naming the text typed,
when you switch between K and M, until you type into the cell again; the line below the
buttons names every such cell. A value longer than its cell is shown shortened with &ldquo;&hellip;&rdquo;; its tooltip gives it whole.</p>
<h3>Keys</h3>
<table cellspacing="2">
<tr><td><b>Tab</b>, <b>Shift+Tab</b></td><td>next, previous control</td></tr>
<tr><td><b>Enter</b></td><td>Calculate</td></tr>
<tr><td><b>Ctrl+N</b>, <b>Ctrl+O</b></td><td>New problem, Open a problem file</td></tr>
<tr><td><b>Ctrl+S</b>, <b>Ctrl+Shift+S</b></td><td>Save, Save As</td></tr>
<tr><td><b>Ctrl+I</b></td><td>Import K and M from another program's files</td></tr>
<tr><td><b>Alt+F</b></td><td>the File menu, with the last eight files</td></tr>
<tr><td><b>Alt+M</b></td><td>the Modes window</td></tr>
<tr><td><b>Ctrl+V</b>, <b>Ctrl+C</b></td><td>paste into a cell; copy a message or the modes table</td></tr>
<tr><td><b>F1</b></td><td>this help</td></tr>
<tr><td><b>Escape</b></td><td>close the window; with changes not yet saved you are asked first</td></tr>
</table>
<h3>Files</h3>
<p>Problems are saved as text in the batch command's format (a line <tt>K</tt>, its rows,
a line <tt>M</tt>, its rows), suggested with the suffix <tt>.varno</tt>;
<tt>varno-cli FILE</tt> answers the same file. <tt>varno FILE</tt> opens one, and so does
dropping it on the window. Of a file with several problems you pick one; <b>Save</b> puts it
back in its place, the rest of the file as it was. Escape stops the reading of a large file.</p>
<p><b>Import&hellip;</b> in the File menu asks for K's file, then M's: Matrix Market (<tt>.mtx</tt>),
CalculiX (<tt>.sti</tt> and <tt>.mas</tt>) or CSV and tab-separated text. Both may be chosen at once
where their names tell which is which (<tt>beam_K.mtx</tt>, <tt>beam_M.mtx</tt>, or CalculiX's).
Choose CalculiX's <tt>.dof</tt> with them, and each cell's tooltip names its two degrees of freedom.</p>
<p>A model of more than six degrees of freedom (up to 4000) opens in a model view of its own: K and M as
tables, the upper triangle edited and the lower one mirroring it, a whole matrix pasted as rows.
<b>Calculate</b> there runs while the view stays usable; Escape cancels it. The eigenvalues come in a
window that scrolls, and <b>Modes&hellip;</b> gives every mode's frequency and effective masses and a
plot of the shapes you name. The view saves nothing.</p>
<h3>More</h3>
<p>The manual pages: <tt>man varno</tt> and <tt>man varno-cli</tt>
(in a build tree: <tt>man -l build/man/varno.1</tt>). The README (<tt>README.md</tt> at the top
of the source tree) is the user guide; <tt>docs/accuracy.md</tt> says how the results are checked.
The About box is in the window's context menu (right-click).</p>
)";

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(HelpWindowTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(false);
    browser_->setHtml(QString::fromUtf8(HelpText));
    browser_->setAccessibleName(QString::fromUtf8(HelpWindowTitle));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
    // As tall as the text wants, never beyond the screen: the browser scrolls.
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    resize(BoundedToScreen(*this, QSize(em * 40, fontMetrics().height() * 40)));
}

}  // namespace varno::ui

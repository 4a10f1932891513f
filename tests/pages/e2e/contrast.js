// Contrast audit of the page as painted: every visible text, every field and switch outline and
// every focus ring, each against the colour actually behind it. Evaluated in the page by
// contrast_test.py; defines window.ContrastAudit and answers nothing else.
(function () {
    'use strict';

    const kText = 4.5;
    const kLarge = 3;
    const kPart = 3;

    function parseColor(text) {
        const m = /rgba?\(([^)]+)\)/.exec(String(text));
        if (!m) return null;
        const p = m[1].split(/[ ,/]+/).filter(Boolean).map(Number);
        return {r: p[0], g: p[1], b: p[2], a: p.length > 3 ? p[3] : 1};
    }

    // Source-over: `top` painted on an opaque `under`.
    function over(top, under) {
        const a = top.a;
        return {r: top.r * a + under.r * (1 - a), g: top.g * a + under.g * (1 - a),
                b: top.b * a + under.b * (1 - a), a: 1};
    }

    function luminance(c) {
        const channel = (v) => {
            const s = v / 255;
            return s <= 0.03928 ? s / 12.92 : Math.pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
    }

    function ratio(a, b) {
        const la = luminance(a);
        const lb = luminance(b);
        return (Math.max(la, lb) + 0.05) / (Math.min(la, lb) + 0.05);
    }

    function hex(c) {
        const h = (v) => Math.round(v).toString(16).padStart(2, '0');
        return '#' + h(c.r) + h(c.g) + h(c.b);
    }

    // The colours of a gradient, read from its computed text (which writes every stop as rgb).
    function gradientStops(image) {
        if (!/^(repeating-)?(linear|radial)-gradient\(/.test(image) || /url\(/.test(image)) return null;
        const stops = (image.match(/rgba?\([^)]+\)/g) || []).map(parseColor);
        return stops.length ? stops : null;
    }

    // The opaque colours that may sit behind `element`: one colour normally, every stop of a
    // gradient (the worst of them counts), or null over an image. Ancestors' opacity fades
    // what they paint over what is behind them.
    function backdrops(element) {
        const layers = [];
        let node = element;
        let stops = null;
        while (node && node.nodeType === 1) {
            const style = getComputedStyle(node);
            const image = style.backgroundImage;
            if (image && image !== 'none') {
                stops = gradientStops(image);
                if (!stops) return null;
                break;
            }
            const color = parseColor(style.backgroundColor);
            if (color && color.a > 0) {
                layers.push(color);
                if (color.a >= 1) break;
            }
            node = node.parentElement;
        }
        const bases = stops ? stops.map((s) => over(s, {r: 255, g: 255, b: 255, a: 1})) :
            [{r: 255, g: 255, b: 255, a: 1}];
        return bases.map((base) => layers.reduceRight((under, layer) => over(layer, under), base));
    }

    function opacityOf(element) {
        let value = 1;
        for (let node = element; node && node.nodeType === 1; node = node.parentElement) {
            value *= Number(getComputedStyle(node).opacity);
        }
        return value;
    }

    function visible(element) {
        if (!element.getClientRects().length) return false;
        const style = getComputedStyle(element);
        if (style.visibility !== 'visible' || opacityOf(element) === 0) return false;
        const r = element.getBoundingClientRect();
        return r.width > 0 && r.height > 0 && r.bottom > 0 && r.right > 0 &&
            r.top < innerHeight && r.left < innerWidth;
    }

    function disabled(element) {
        return Boolean(element.closest(':disabled, [aria-disabled="true"], .disabled, .row-disabled'));
    }

    function describe(element) {
        let text = element.tagName.toLowerCase();
        if (element.id) text += '#' + element.id;
        if (typeof element.className === 'string' && element.className.trim()) {
            text += '.' + element.className.trim().split(/\s+/).join('.');
        }
        return text;
    }

    function worst(fg, bases) {
        let result = null;
        for (const base of bases) {
            const painted = over(fg, base);
            const value = ratio(painted, base);
            if (!result || value < result.ratio) result = {ratio: value, fg: painted, bg: base};
        }
        return result;
    }

    // The engine does not compute styles of ::placeholder, so the page's own rule is looked up;
    // without one the text keeps the engine's default grey.
    const kEnginePlaceholder = 'rgb(169, 169, 169)';

    function placeholderColor(field) {
        let found = null;
        const visit = (rules) => {
            for (const rule of rules) {
                if (rule.cssRules && !rule.selectorText) {
                    visit(rule.cssRules);
                    continue;
                }
                if (!rule.selectorText || !rule.style.color) continue;
                for (const selector of rule.selectorText.split(',')) {
                    const m = /^(.*?)::?(-webkit-input-)?placeholder\s*$/.exec(selector.trim());
                    if (m && (m[1] === '' || m[1] === '*' || field.matches(m[1]))) found = rule.style.color;
                }
            }
        };
        for (const sheet of document.styleSheets) visit(sheet.cssRules);
        if (!found) return parseColor(kEnginePlaceholder);
        const resolved = found.replace(/var\((--[\w-]+)\)/g,
                                       (all, name) => getComputedStyle(field).getPropertyValue(name).trim());
        const probe = document.createElement('span');
        probe.style.color = resolved;
        document.body.appendChild(probe);
        const color = parseColor(getComputedStyle(probe).color);
        probe.remove();
        return color;
    }

    function isLarge(style) {
        const size = parseFloat(style.fontSize);
        return size >= 24 || (size >= 18.66 && Number(style.fontWeight) >= 700);
    }

    // The elements that show text of their own: a text node child, or a form field's value.
    function textElements(root) {
        const found = new Set();
        const walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
        for (let node = walker.nextNode(); node; node = walker.nextNode()) {
            if (node.textContent.trim() !== '' && node.parentElement &&
                !node.parentElement.closest('script, style, option, title')) {
                found.add(node.parentElement);
            }
        }
        for (const field of root.querySelectorAll('input:not([type=checkbox]):not([type=radio]), select, textarea')) {
            found.add(field);
        }
        return found;
    }

    function checkText(element, out) {
        if (!visible(element)) return;
        const style = getComputedStyle(element);
        let fg = parseColor(style.color);
        let label = (element.value !== undefined && element.tagName !== 'BUTTON' && element.tagName !== 'LI' ?
            String(element.value) : element.textContent).trim().slice(0, 40);
        if ((element.tagName === 'INPUT' || element.tagName === 'TEXTAREA') && !element.value) {
            if (!element.placeholder) return;
            fg = placeholderColor(element);
            label = 'placeholder: ' + element.placeholder.slice(0, 30);
        }
        const bases = backdrops(element);
        if (!bases) {
            out.notes.push('over an image: ' + describe(element) + ' "' + label + '"');
            return;
        }
        fg = Object.assign({}, fg, {a: fg.a * opacityOf(element)});
        const need = isLarge(style) ? kLarge : kText;
        const result = worst(fg, bases);
        out.checked += 1;
        if (disabled(element)) return;
        if (result.ratio + 1e-6 < need) {
            out.failures.push({kind: 'text', what: describe(element), text: label,
                               fg: hex(result.fg), bg: hex(result.bg),
                               ratio: Math.round(result.ratio * 100) / 100, need});
        }
    }

    // Fields and switches are found by their outline or fill; nothing else tells them apart
    // from the surface they sit on.
    function checkParts(root, out) {
        const parts = root.querySelectorAll(
            'input:not([type=checkbox]):not([type=radio]), select, textarea, [role=switch]');
        for (const part of parts) {
            if (!visible(part) || disabled(part)) continue;
            const style = getComputedStyle(part);
            const around = backdrops(part.parentElement);
            if (!around) continue;
            const isSwitch = part.getAttribute('role') === 'switch';
            const edge = parseColor(isSwitch ? style.backgroundColor : style.borderTopColor);
            const width = isSwitch ? 1 : parseFloat(style.borderTopWidth);
            if (!edge || width === 0) continue;
            const result = worst(edge, around);
            out.checked += 1;
            if (result.ratio + 1e-6 < kPart) {
                out.failures.push({kind: isSwitch ? 'switch' : 'field border', what: describe(part),
                                   text: part.getAttribute('aria-label') || part.title || '',
                                   fg: hex(result.fg), bg: hex(result.bg),
                                   ratio: Math.round(result.ratio * 100) / 100, need: kPart});
            }
        }
    }

    // Focus rings are read with the focus state forced on one control at a time by the
    // inspector (contrast_test.py), as a keyboard user would see each of them.
    const kControls = 'button, input, select, textarea, a[href], [tabindex]:not([tabindex="-1"]), .vlist-row';

    function markRings(roots) {
        for (const old of document.querySelectorAll('[data-ring-audit]')) old.removeAttribute('data-ring-audit');
        let count = 0;
        for (const root of roots) {
            for (const control of root.querySelectorAll(kControls)) {
                if (!visible(control) || disabled(control) || control.hasAttribute('data-ring-audit')) continue;
                control.setAttribute('data-ring-audit', String(count++));
            }
        }
        return count;
    }

    function ring(index) {
        const control = document.querySelector('[data-ring-audit="' + index + '"]');
        if (!control || !control.matches(':focus-visible')) return {checked: false};
        const style = getComputedStyle(control);
        const width = style.outlineStyle === 'none' ? 0 : parseFloat(style.outlineWidth);
        const failure = {kind: 'focus ring', what: describe(control),
                         text: control.textContent.trim().slice(0, 40), need: kPart};
        if (width < 2) {
            return {checked: true, failure: Object.assign(failure, {fg: style.outlineColor, bg: 'no ring',
                                                                    ratio: 0})};
        }
        // An inset ring lies on the control's own fill, an outset one on what surrounds it.
        const inset = parseFloat(style.outlineOffset) + width <= 0;
        const bases = backdrops(inset ? control : control.parentElement);
        if (!bases) return {checked: false};
        const result = worst(parseColor(style.outlineColor), bases);
        if (result.ratio + 1e-6 >= kPart) return {checked: true};
        return {checked: true, failure: Object.assign(failure, {
            fg: hex(result.fg), bg: hex(result.bg), ratio: Math.round(result.ratio * 100) / 100})};
    }

    function rootsOf(rootSelector) {
        const root = rootSelector ? document.querySelector(rootSelector) : document.body;
        if (!root) return [];
        const roots = [root];
        // The window's frame (title bar, navigation) is part of every section's view.
        if (rootSelector) {
            for (const frame of document.querySelectorAll('.titlebar, .nav')) roots.push(frame);
        }
        return roots;
    }

    function audit(rootSelector) {
        const out = {checked: 0, failures: [], notes: []};
        const roots = rootsOf(rootSelector);
        for (const part of roots) {
            for (const element of textElements(part)) checkText(element, out);
            checkParts(part, out);
        }
        out.rings = markRings(roots);
        return out;
    }

    window.ContrastAudit = {audit, ring, ratio: (a, b) => ratio(parseColor(a), parseColor(b)),
                            composite: (top, under) => hex(over(parseColor(top), parseColor(under)))};
})();

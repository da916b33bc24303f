// The looks of the course page: light (the page as its author made it),
// dark and high contrast. Runs in the viewer's own script world, apart from
// the page's scripts, at the start of every document, and again whenever
// the learner changes the look of the page shown.
//
// Nothing here reloads the page or touches its layout: a change of look
// rewrites colours only, so the learner keeps the place on the page.
//
// Dark: a page that styles itself for a dark preference
// (`@media (prefers-color-scheme: dark)`, a <link> or <picture> source with
// that media) gets that preference: its media queries are turned to the
// dark side for the screen, and it shows as its author made it. Every other
// page, and a self-styled one whose dark side is still a light page, is
// darkened here, element by element, from the colours the engine computed
// for the light page: light backgrounds turn dark, hues kept; text turns
// light and is lightened further until it reaches the contrast ratio the
// look promises against the background it stands on. Pictures (img, svg,
// canvas, video) are never recoloured: each keeps the light ground it was
// made on, so a diagram with a transparent background reads as before.
//
// High contrast: black grounds, white text, one strong colour for links,
// white borders; pictures as they are.
//
// Every override lives in one style element for the screen only, and the
// turned media queries keep their print side, so printing always gives the
// light page. Elements get a data attribute naming their override class;
// going back to light removes both and restores every media query.
(function () {
  'use strict';
  if (window.__tamberlynLook)
    return;

  var Attr = 'data-tamberlyn-look';
  var BeforeAttr = 'data-tamberlyn-look-before';
  var AfterAttr = 'data-tamberlyn-look-after';
  var StyleId = 'tamberlyn-look-style';
  // Set on the root while a look other than light is on, so that what the
  // viewer itself adds to pages (the read marks) can take colours that read
  // on the look's grounds.
  var LookAttr = 'data-tamberlyn-page-look';
  // Raises the overrides above any rule a page is likely to have.
  var Stronger = ':not(#tamberlyn-look-a):not(#tamberlyn-look-b)';
  // The contrast ratio each look promises every text run, with a little to
  // spare for the rounding of colours to whole numbers.
  var Promise = {dark: 4.5, contrast: 7};
  var Spare = 1.03;
  var Looks = ['light', 'dark', 'contrast'];
  // A border wider than this is a ground around the element, not a line.
  var ThinLine = 3;

  var HighContrast = {ground: {r: 0, g: 0, b: 0, a: 1}, text: {r: 255, g: 255, b: 255, a: 1},
                      link: {r: 255, g: 255, b: 0, a: 1}, line: {r: 255, g: 255, b: 255, a: 1}};
  var White = {r: 255, g: 255, b: 255, a: 1};

  // Elements whose insides are no text of the page, or are pictures.
  var Skipped = {SCRIPT: 1, STYLE: 1, NOSCRIPT: 1, TEMPLATE: 1, HEAD: 1, META: 1, LINK: 1, TITLE: 1,
                 BR: 1, WBR: 1, SOURCE: 1, TRACK: 1, PARAM: 1, IFRAME: 1, FRAME: 1, OBJECT: 1, EMBED: 1};
  var Pictures = {IMG: 1, CANVAS: 1, VIDEO: 1, svg: 1, SVG: 1};

  var state = {
    look: 'light',
    mode: 'light',
    media: [],        // {list | node, text}: media queries turned, with their text before
    marked: [],       // elements given an override attribute
    observer: null,
    pending: 0,
    last: null
  };

  // ---- colours -----------------------------------------------------------

  function parseColour(text) {
    var m = /^rgba?\(([^)]*)\)$/.exec(text || '');
    if (!m)
      return null;
    var p = m[1].split(/[\s,\/]+/).filter(function (s) { return s.length > 0; }).map(Number);
    if (p.length < 3 || p.some(isNaN))
      return null;
    return {r: p[0], g: p[1], b: p[2], a: p.length > 3 ? p[3] : 1};
  }

  function css(c) {
    return c.a >= 1 ? 'rgb(' + c.r + ', ' + c.g + ', ' + c.b + ')'
                    : 'rgba(' + c.r + ', ' + c.g + ', ' + c.b + ', ' + (Math.round(c.a * 1000) / 1000) + ')';
  }

  function toLinear(v) {
    v /= 255;
    return v <= 0.04045 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4);
  }

  function fromLinear(x) {
    x = Math.min(1, Math.max(0, x));
    return 255 * (x <= 0.0031308 ? 12.92 * x : 1.055 * Math.pow(x, 1 / 2.4) - 0.055);
  }

  function luminance(c) {
    return 0.2126 * toLinear(c.r) + 0.7152 * toLinear(c.g) + 0.0722 * toLinear(c.b);
  }

  function contrast(a, b) {
    var la = luminance(a), lb = luminance(b);
    return (Math.max(la, lb) + 0.05) / (Math.min(la, lb) + 0.05);
  }

  // `top` laid over the opaque `bottom`.
  function over(top, bottom) {
    var a = top.a;
    return {r: Math.round(top.r * a + bottom.r * (1 - a)), g: Math.round(top.g * a + bottom.g * (1 - a)),
            b: Math.round(top.b * a + bottom.b * (1 - a)), a: 1};
  }

  // OKLab: lightness L from 0 to 1 that the eye sees evenly, and two hue axes.
  function oklab(c) {
    var r = toLinear(c.r), g = toLinear(c.g), b = toLinear(c.b);
    var l = Math.cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
    var m = Math.cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
    var s = Math.cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
    return {L: 0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
            A: 1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
            B: 0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
  }

  function fromOklab(L, A, B, alpha) {
    var l = Math.pow(L + 0.3963377774 * A + 0.2158037573 * B, 3);
    var m = Math.pow(L - 0.1055613458 * A - 0.0638541728 * B, 3);
    var s = Math.pow(L - 0.0894841775 * A - 1.2914855480 * B, 3);
    return {r: Math.round(fromLinear(4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s)),
            g: Math.round(fromLinear(-1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s)),
            b: Math.round(fromLinear(-0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s)),
            a: alpha};
  }

  // A ground of the dark look: light grounds turn dark (white becomes a
  // soft black), dark ones stay dark; hues are kept, a little muted.
  function darkGround(c) {
    var k = oklab(c);
    var L = k.L > 0.5 ? 0.24 + (1 - k.L) * 0.294 : k.L * 0.774;
    var mute = k.L > 0.5 ? 0.6 : 1;
    return fromOklab(L, k.A * mute, k.B * mute, c.a);
  }

  // A line of the dark look (borders, rules): seen on the dark grounds
  // without standing out more than it did on the light page.
  function darkLine(c) {
    var k = oklab(c);
    var L = Math.min(0.75, Math.max(0.35, 1.1 - k.L));
    return fromOklab(L, k.A, k.B, c.a);
  }

  // The first guess for text of the dark look: dark text on a light ground
  // turns light; light text on a dark ground keeps its colour.
  function darkText(c, ground) {
    var k = oklab(c);
    if (k.L > oklab(ground).L)
      return c;
    return fromOklab(0.93 - 0.5 * k.L, k.A, k.B, c.a);
  }

  function worstContrast(text, grounds) {
    var worst = Infinity;
    for (var i = 0; i < grounds.length; ++i)
      worst = Math.min(worst, contrast(over(text, grounds[i]), grounds[i]));
    return worst;
  }

  // `text`, made lighter or darker (away from the grounds) until it reaches
  // `ratio` against every one of `grounds`; full strength when a
  // see-through colour cannot, and white or black when no hue can.
  function legible(text, grounds, ratio) {
    if (worstContrast(text, grounds) >= ratio)
      return text;
    var dark = grounds.every(function (g) { return luminance(g) < 0.18; });
    var k = oklab(text);
    for (var alpha = text.a; ; alpha = 1) {
      for (var step = 1; step <= 40; ++step) {
        var L = dark ? k.L + (1 - k.L) * step / 40 : k.L * (1 - step / 40);
        var fade = 1 - step / 40;
        var tried = fromOklab(L, k.A * fade, k.B * fade, alpha);
        if (worstContrast(tried, grounds) >= ratio)
          return tried;
      }
      if (alpha === 1)
        break;
    }
    var white = {r: 255, g: 255, b: 255, a: 1}, black = {r: 0, g: 0, b: 0, a: 1};
    return worstContrast(white, grounds) >= worstContrast(black, grounds) ? white : black;
  }

  // The colours of a gradient or of other layers of a background image.
  function coloursIn(image) {
    var found = [];
    (image.match(/rgba?\([^)]*\)/g) || []).forEach(function (t) {
      var c = parseColour(t);
      if (c)
        found.push(c);
    });
    return found;
  }

  // ---- media queries that ask for a colour scheme --------------------------

  var SchemeFeature = /prefers-color-scheme\s*:\s*(light|dark)/i;

  function mentionsScheme(text) {
    return SchemeFeature.test(text || '');
  }

  // One query of a media list for `scheme` on the screen, keeping what it
  // meant for print, where the page is always light. A query the engine
  // wrote in a form not understood here is left as it is.
  function turnQuery(query, scheme) {
    if (!mentionsScheme(query))
      return [query];
    var m = /^\s*(?:(only|not)\s+)?([a-z][a-z-]*)?\s*(?:and\s+)?([\s\S]*)$/i.exec(query);
    if (!m || m[1] === 'not' || /\bor\b|\bnot\b/i.test(m[3]))
      return [query];
    var type = (m[2] || 'all').toLowerCase();
    if (type === 'and')
      return [query];
    var conditions = m[3].trim() ? m[3].split(/\)\s*and\s*\(/i).map(function (part) {
      return '(' + part.replace(/^\s*\(/, '').replace(/\)\s*$/, '') + ')';
    }) : [];
    var asks = [], others = [];
    conditions.forEach(function (c) {
      var f = SchemeFeature.exec(c);
      if (f)
        asks.push(f[1].toLowerCase());
      else
        others.push(c);
    });
    var turned = [];
    if ((type === 'all' || type === 'screen') && asks.every(function (a) { return a === scheme; }))
      turned.push(['screen'].concat(others).join(' and '));
    if (type === 'all' || type === 'print')
      turned.push(['print'].concat(conditions).join(' and '));
    if (type !== 'all' && type !== 'screen' && type !== 'print')
      return [query];
    return turned;
  }

  function turnMedia(text, scheme) {
    var queries = [];
    text.split(',').forEach(function (q) {
      turnQuery(q.trim(), scheme).forEach(function (t) { queries.push(t); });
    });
    return queries.length ? queries.join(', ') : 'not all';
  }

  // Every media list and element of the page that asks for a colour scheme.
  function schemeMedia() {
    var found = [];
    function visitRules(rules) {
      for (var i = 0; i < rules.length; ++i) {
        var rule = rules[i];
        if (rule.type === 3 /* import */) {
          if (mentionsScheme(rule.media.mediaText))
            found.push({list: rule.media});
          if (rule.styleSheet)
            visitSheet(rule.styleSheet);
        } else if (rule.type === 4 /* media */) {
          if (mentionsScheme(rule.media.mediaText))
            found.push({list: rule.media});
          visitRules(rule.cssRules);
        } else if (rule.cssRules) {
          visitRules(rule.cssRules);
        }
      }
    }
    function visitSheet(sheet) {
      var rules = null;
      try {
        rules = sheet.cssRules;
      } catch (e) {
        return; // another origin's sheet, or one still loading
      }
      if (rules)
        visitRules(rules);
    }
    var sheets = document.styleSheets;
    for (var i = 0; i < sheets.length; ++i) {
      var owner = sheets[i].ownerNode;
      if (owner && owner.id !== StyleId && owner.getAttribute && mentionsScheme(owner.getAttribute('media')))
        found.push({node: owner});
      if (!owner || owner.id !== StyleId)
        visitSheet(sheets[i]);
    }
    document.querySelectorAll('picture > source[media]').forEach(function (source) {
      if (mentionsScheme(source.getAttribute('media')))
        found.push({node: source});
    });
    return found;
  }

  function turnSchemeMedia(scheme) {
    schemeMedia().forEach(function (entry) {
      if (entry.list) {
        var text = entry.list.mediaText;
        state.media.push({list: entry.list, text: text});
        entry.list.mediaText = turnMedia(text, scheme);
      } else {
        var attribute = entry.node.getAttribute('media');
        state.media.push({node: entry.node, text: attribute});
        entry.node.setAttribute('media', turnMedia(attribute, scheme));
      }
    });
    return state.media.length;
  }

  // ---- the page's elements --------------------------------------------------

  function hasOwnText(el) {
    for (var n = el.firstChild; n; n = n.nextSibling) {
      if (n.nodeType === 3 && n.data.trim())
        return true;
    }
    return false;
  }

  function isPicture(el) {
    return Pictures[el.tagName] === 1 || (el.tagName === 'INPUT' && el.type === 'image');
  }

  function isOurs(el) {
    return el.id === StyleId || (el.tagName === 'MARK' && el.classList.contains('tamberlyn-search-word'));
  }

  // What the engine computed for the page as it stands, parents first.
  function readPage() {
    var root = document.documentElement;
    var all = [root];
    if (document.body) {
      var inside = document.body.querySelectorAll('*');
      all.push(document.body);
      for (var i = 0; i < inside.length; ++i)
        all.push(inside[i]);
    }
    var read = new Map();
    var entries = [];
    for (var j = 0; j < all.length; ++j) {
      var el = all[j];
      if (read.has(el))
        continue;
      var parent = el === root ? null : read.get(el.parentElement) || read.get(root);
      if (parent && (parent.skip || parent.picture)) {
        read.set(el, {el: el, skip: true, parent: parent});
        continue;
      }
      if (Skipped[el.tagName] === 1 || isOurs(el) || (el.namespaceURI === 'http://www.w3.org/2000/svg'
                                                      && el.tagName !== 'svg')) {
        read.set(el, {el: el, skip: true, parent: parent});
        continue;
      }
      var cs = getComputedStyle(el);
      var entry = {
        el: el,
        parent: parent,
        picture: isPicture(el),
        ground: parseColour(cs.backgroundColor),
        image: cs.backgroundImage,
        text: parseColour(cs.color),
        fill: cs.webkitTextFillColor,
        opacity: parseFloat(cs.opacity) * (parent ? parent.opacity : 1),
        lines: [],
        shadow: cs.textShadow !== 'none',
        ownText: hasOwnText(el),
        link: el.tagName === 'A' && el.hasAttribute('href') || (parent && parent.link) || false,
        field: /^(INPUT|TEXTAREA|SELECT|BUTTON)$/.test(el.tagName),
        pseudo: {}
      };
      ['Top', 'Right', 'Bottom', 'Left'].forEach(function (side) {
        var width = parseFloat(cs['border' + side + 'Width']);
        if (cs['border' + side + 'Style'] !== 'none' && width > 0)
          entry.lines.push({side: side, colour: parseColour(cs['border' + side + 'Color']), wide: width > ThinLine});
      });
      if (cs.outlineStyle !== 'none' && parseFloat(cs.outlineWidth) > 0)
        entry.outline = parseColour(cs.outlineColor);
      ['before', 'after'].forEach(function (which) {
        var ps = getComputedStyle(el, '::' + which);
        if (ps.content && ps.content !== 'none' && ps.content !== 'normal')
          entry.pseudo[which] = {text: parseColour(ps.color), ground: parseColour(ps.backgroundColor)};
      });
      // The ground this element stands on, as the light page paints it.
      var below = parent ? parent.lightGround : White;
      entry.lightGround = entry.ground && entry.ground.a > 0 ? over(entry.ground, below) : below;
      read.set(el, entry);
      entries.push(entry);
    }
    return entries;
  }

  // ---- the two looks that change colours -----------------------------------

  // The overrides of one element: CSS declarations, and those of its
  // ::before and ::after.
  function darkOverrides(entry, ratio) {
    var out = {own: [], before: [], after: []};
    var parent = entry.parent;
    var below = parent ? parent.darkGround : darkGround(White);
    var ground = entry.ground;
    var grounds;
    if (entry.picture) {
      // A picture keeps the light ground it was drawn for.
      out.own.push('background-color: ' + css(entry.lightGround));
      if (entry.el.tagName.toLowerCase() === 'svg' && entry.text)
        out.own.push('color: ' + css(entry.text));
      entry.darkGround = below;
      return out;
    }
    if (ground && ground.a > 0) {
      var dark = darkGround(ground);
      out.own.push('background-color: ' + css(dark));
      entry.darkGround = over(dark, below);
    } else {
      entry.darkGround = below;
    }
    if (entry.el === document.documentElement && !(ground && ground.a > 0)) {
      out.own.push('background-color: ' + css(below));
    }
    grounds = [entry.darkGround];
    if (entry.image && entry.image !== 'none') {
      var stops = coloursIn(entry.image);
      if (stops.length) {
        var turned = entry.image.replace(/rgba?\([^)]*\)/g, function (t) {
          var c = parseColour(t);
          return c ? css(darkGround(c)) : t;
        });
        out.own.push('background-image: ' + turned);
        grounds = stops.map(function (c) { return over(darkGround(c), entry.darkGround); });
        entry.darkGround = grounds[0];
      }
    }
    // Text the page made invisible stays so.
    if (entry.text && entry.text.a > 0 && entry.opacity > 0) {
      var guess = darkText(entry.text, entry.lightGround);
      var shown = {r: guess.r, g: guess.g, b: guess.b, a: guess.a * entry.opacity};
      var made = legible(shown, grounds, ratio);
      var colour = {r: made.r, g: made.g, b: made.b, a: Math.min(1, made.a / entry.opacity)};
      out.own.push('color: ' + css(colour));
      if (entry.fill && entry.fill !== 'currentcolor' && parseColour(entry.fill))
        out.own.push('-webkit-text-fill-color: ' + css(colour));
      entry.darkText = colour;
    }
    entry.lines.forEach(function (line) {
      if (line.colour)
        out.own.push('border-' + line.side.toLowerCase() + '-color: '
                     + css(line.wide ? darkGround(line.colour) : darkLine(line.colour)));
    });
    if (entry.outline)
      out.own.push('outline-color: ' + css(darkLine(entry.outline)));
    if (entry.shadow)
      out.own.push('text-shadow: none');
    pseudoOverrides(entry, out, function (p) {
      var pg = p.ground && p.ground.a > 0 ? over(darkGround(p.ground), entry.darkGround) : entry.darkGround;
      var decl = [];
      if (p.ground && p.ground.a > 0)
        decl.push('background-color: ' + css(darkGround(p.ground)));
      if (p.text)
        decl.push('color: ' + css(legible(darkText(p.text, entry.lightGround), [pg], ratio)));
      return decl;
    });
    return out;
  }

  function contrastOverrides(entry) {
    var out = {own: [], before: [], after: []};
    var hc = HighContrast;
    if (entry.picture) {
      out.own.push('background-color: ' + css(entry.lightGround));
      if (entry.el.tagName.toLowerCase() === 'svg' && entry.text)
        out.own.push('color: ' + css(entry.text));
      return out;
    }
    var ground = entry.ground;
    if ((ground && ground.a > 0) || entry.el === document.documentElement || entry.field)
      out.own.push('background-color: ' + css(hc.ground));
    if (entry.image && entry.image !== 'none' && (coloursIn(entry.image).length || entry.el.textContent.trim()))
      out.own.push('background-image: none');
    var text = entry.link ? hc.link : hc.text;
    // Text the page made invisible stays so.
    if (!(entry.text && entry.text.a === 0))
      out.own.push('color: ' + css(text));
    if (entry.fill && entry.fill !== 'currentcolor' && parseColour(entry.fill))
      out.own.push('-webkit-text-fill-color: ' + css(text));
    if (entry.opacity < 1 && entry.ownText)
      out.own.push('opacity: 1');
    entry.lines.forEach(function (line) {
      out.own.push('border-' + line.side.toLowerCase() + '-color: '
                   + css(line.wide ? hc.ground : entry.link ? hc.link : hc.line));
    });
    if (entry.field && !entry.lines.length)
      out.own.push('border: 1px solid ' + css(hc.line));
    if (entry.outline)
      out.own.push('outline-color: ' + css(hc.link));
    if (entry.shadow)
      out.own.push('text-shadow: none');
    pseudoOverrides(entry, out, function (p) {
      var decl = ['color: ' + css(text)];
      if (p.ground && p.ground.a > 0)
        decl.push('background-color: ' + css(hc.ground));
      return decl;
    });
    return out;
  }

  function pseudoOverrides(entry, out, make) {
    ['before', 'after'].forEach(function (which) {
      if (entry.pseudo[which])
        out[which] = make(entry.pseudo[which]);
    });
  }

  // Writes the overrides: elements with the same declarations share one
  // class, so the style sheet stays small however long the page.
  function writeOverrides(entries, make, extraRules) {
    var classes = new Map();
    var rules = [];
    function classOf(kind, declarations) {
      if (!declarations.length)
        return null;
      var key = kind + '|' + declarations.join(';');
      var name = classes.get(key);
      if (name === undefined) {
        name = String(classes.size);
        classes.set(key, name);
        var attr = kind === 'own' ? Attr : kind === 'before' ? BeforeAttr : AfterAttr;
        rules.push('[' + attr + '="' + name + '"]' + Stronger + (kind === 'own' ? '' : '::' + kind) + ' { '
                   + declarations.map(function (d) { return d + ' !important'; }).join('; ') + ' }');
      }
      return name;
    }
    var marks = [];
    entries.forEach(function (entry) {
      var out = make(entry);
      var own = classOf('own', out.own);
      var before = classOf('before', out.before);
      var after = classOf('after', out.after);
      if (own !== null || before !== null || after !== null)
        marks.push([entry.el, own, before, after]);
    });
    var style = document.createElement('style');
    style.id = StyleId;
    style.media = 'screen';
    style.textContent = extraRules.concat(rules).join('\n');
    (document.head || document.documentElement).appendChild(style);
    marks.forEach(function (m) {
      if (m[1] !== null)
        m[0].setAttribute(Attr, m[1]);
      if (m[2] !== null)
        m[0].setAttribute(BeforeAttr, m[2]);
      if (m[3] !== null)
        m[0].setAttribute(AfterAttr, m[3]);
      state.marked.push(m[0]);
    });
    return classes.size;
  }

  // ---- putting it together ------------------------------------------------

  function revert() {
    var style = document.getElementById(StyleId);
    if (style)
      style.remove();
    if (document.documentElement)
      document.documentElement.removeAttribute(LookAttr);
    state.marked.forEach(function (el) {
      el.removeAttribute(Attr);
      el.removeAttribute(BeforeAttr);
      el.removeAttribute(AfterAttr);
    });
    state.marked = [];
    for (var i = state.media.length - 1; i >= 0; --i) {
      var m = state.media[i];
      if (m.list)
        m.list.mediaText = m.text;
      else
        m.node.setAttribute('media', m.text);
    }
    state.media = [];
  }

  // The element at the top of the window and where it stands, to keep the
  // learner's place should the new colours come with another layout.
  function place() {
    var x = Math.max(1, Math.min(window.innerWidth - 1, window.innerWidth / 2));
    var el = document.elementFromPoint(x, 1);
    return el ? {el: el, top: el.getBoundingClientRect().top, y: window.scrollY} : null;
  }

  function keepPlace(before) {
    if (!before || !before.el.isConnected || window.scrollY !== before.y)
      return;
    var moved = before.el.getBoundingClientRect().top - before.top;
    if (Math.abs(moved) >= 1)
      window.scrollBy(0, moved);
  }

  function lightPage(entries) {
    var body = document.body || document.documentElement;
    var root = entries.length ? entries[0] : null;
    var bodyEntry = entries.find(function (e) { return e.el === body; }) || root;
    var ground = bodyEntry ? bodyEntry.lightGround : White;
    return oklab(ground).L > 0.6;
  }

  function apply(look) {
    var started = performance.now();
    if (Looks.indexOf(look) < 0)
      look = 'light';
    state.look = look;
    var before = document.documentElement ? place() : null;
    revert();
    var kind = document.contentType || '';
    if (look === 'light' || !document.documentElement || !/html|xml/.test(kind)) {
      state.mode = 'light';
      watch(false);
      keepPlace(before);
      return summary(started, 0, 0);
    }
    document.documentElement.setAttribute(LookAttr, look);
    var turned = turnSchemeMedia('dark');
    var entries = readPage();
    var extra = [];
    var rootScheme = getComputedStyle(document.documentElement).colorScheme || '';
    var classes = 0;
    if (look === 'contrast') {
      state.mode = 'forced';
      extra.push(':root { color-scheme: dark !important; }');
      extra.push(':focus-visible { outline: 2px solid ' + css(HighContrast.link) + ' !important; }');
      extra.push('::placeholder { color: ' + css(HighContrast.text) + ' !important; opacity: 1 !important; }');
      classes = writeOverrides(entries, contrastOverrides, extra);
    } else if (turned && !lightPage(entries)) {
      // The author's own dark page.
      state.mode = 'as-made';
      if (/dark/.test(rootScheme))
        extra.push(':root { color-scheme: dark !important; }');
      if (extra.length)
        classes = writeOverrides([], function () { return {own: [], before: [], after: []}; }, extra);
    } else {
      state.mode = 'darkened';
      extra.push(':root { color-scheme: dark !important; }');
      extra.push('::placeholder { color: rgb(170, 170, 170) !important; }');
      var ratio = Promise.dark * Spare;
      classes = writeOverrides(entries, function (e) { return darkOverrides(e, ratio); }, extra);
    }
    watch(true);
    keepPlace(before);
    return summary(started, entries.length, classes);
  }

  function summary(started, elements, classes) {
    var body = document.body || document.documentElement;
    var result = {look: state.look, mode: state.mode, elements: elements, classes: classes,
                  media: state.media.length, ms: Math.round((performance.now() - started) * 10) / 10,
                  y: Math.round(window.scrollY)};
    if (body) {
      var cs = getComputedStyle(body);
      result.text = cs.color;
      // The ground the body's text stands on: its own, else the root's.
      var ground = parseColour(cs.backgroundColor);
      result.ground = ground && ground.a > 0 ? cs.backgroundColor
                                              : getComputedStyle(document.documentElement).backgroundColor;
    }
    state.last = result;
    return result;
  }

  // Content the page adds later (or a style sheet that arrives late) gets
  // the look as well, a moment after it comes.
  function watch(on) {
    if (!on) {
      if (state.observer)
        state.observer.disconnect();
      state.observer = null;
      return;
    }
    if (state.observer || !document.documentElement)
      return;
    state.observer = new MutationObserver(function (records) {
      var foreign = records.some(function (r) {
        if (r.target.nodeType === 1 && r.target.id === StyleId)
          return false;
        var nodes = Array.prototype.slice.call(r.addedNodes).concat(Array.prototype.slice.call(r.removedNodes));
        return nodes.some(function (n) { return !(n.nodeType === 1 && n.id === StyleId); });
      });
      if (foreign)
        later();
    });
    state.observer.observe(document.documentElement, {childList: true, subtree: true});
  }

  function later() {
    if (state.pending)
      return;
    state.pending = setTimeout(function () {
      state.pending = 0;
      if (state.look !== 'light')
        apply(state.look);
    }, 150);
  }

  window.__tamberlynLook = {
    apply: apply,
    last: function () { return state.last; },
    // For tests and the contrast report: the pure colour rules.
    colours: {parse: parseColour, contrast: contrast, darkGround: darkGround, turnMedia: turnMedia}
  };

  // A new document: the look applies as soon as its elements are there,
  // before the engine paints them, and again once late style sheets and
  // pictures have come.
  window.__tamberlynLook.start = function (look) {
    state.look = look;
    if (look === 'light')
      return;
    if (document.readyState === 'loading')
      document.addEventListener('DOMContentLoaded', function () { apply(state.look); });
    else
      apply(look);
    window.addEventListener('load', function () { if (state.look !== 'light') apply(state.look); });
  };
})();

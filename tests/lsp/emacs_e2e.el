;;; emacs_e2e.el --- eglot through `quillmark lsp --with CHILD` -*- lexical-binding: t -*-
;; Run by emacs_test.sh in `emacs --batch`: starts eglot on QM_FILE with the
;; server the README shows (the --with form and :initializationOptions), puts
;; point on QM_WORD of line QM_LINE as a user would, runs `eglot-code-actions'
;; as M-x does and picks the comment action, asks the child for completion,
;; lists the actions on the text QM_ALSO, then shuts down and waits for the server to end. What happened goes to
;; QM_RESULT, one fact a line; the buffer is saved.
(require 'cl-lib)
(require 'eglot)

;; The lines the README shows.
(setq eglot-confirm-server-initiated-edits nil)
(add-to-list 'eglot-server-programs
             `((c-mode c++-mode) ,(getenv "QM_SERVER") "lsp" "--with"
               ,@(split-string (getenv "QM_CHILD"))
               :initializationOptions (:settings ,(getenv "QM_SETTINGS"))))

(defvar qm-lines nil)
(defun qm-note (format-string &rest args)
  (push (apply #'format format-string args) qm-lines))
(defun qm-finish (status)
  (qm-note "status %s" status)
  (with-temp-file (getenv "QM_RESULT")
    (insert (mapconcat #'identity (reverse qm-lines) "\n") "\n"))
  (kill-emacs 0))

(defun qm-wait (predicate seconds)
  "Waits for PREDICATE while the servers talk; its last value."
  (let ((deadline (+ (float-time) seconds)) value)
    (while (and (not (setq value (funcall predicate))) (< (float-time) deadline))
      (accept-process-output nil 0.05))
    value))

(condition-case err
    (let (server process)
      (find-file (getenv "QM_FILE"))
      (c++-mode)
      (apply #'eglot (eglot--guess-contact))
      (setq server (qm-wait (lambda () (eglot-current-server)) 30))
      (unless server (error "eglot did not connect"))
      (setq process (jsonrpc--process server))
      (goto-char (point-min))
      (forward-line (1- (string-to-number (getenv "QM_LINE"))))
      (search-forward (getenv "QM_WORD") (line-end-position))
      (backward-char 1)
      ;; M-x eglot-code-actions without a region: eglot sends the word at point.
      (let ((last-nonmenu-event 13))
        (cl-letf (((symbol-function 'completing-read)
                   (lambda (_prompt items &rest _)
                     (let (chosen)
                       (dolist (item items)
                         (qm-note "action %s" (car item))
                         (when (and (null chosen)
                                    (string-prefix-p "Quillmark: comment " (car item)))
                           (setq chosen (car item))))
                       chosen))))
          (call-interactively #'eglot-code-actions)))
      (unless (qm-wait #'buffer-modified-p 20) (error "the action changed nothing"))
      (save-buffer)
      (let* ((answer (jsonrpc-request server :textDocument/completion
                                      (eglot--TextDocumentPositionParams)))
             (items (if (vectorp answer) answer (plist-get answer :items))))
        (qm-note "completion-count %d" (length items))
        (when (> (length items) 0)
          (qm-note "completion-label %s" (plist-get (aref items 0) :label))))
      ;; Both servers' actions where the child has some too: on the first QM_ALSO.
      (progn
        (goto-char (point-min))
        (search-forward (getenv "QM_ALSO"))
        (backward-char 1)
        (dolist (action (apply #'eglot-code-actions (eglot--region-bounds)))
          (qm-note "also-action %s" (plist-get action :title))))
      (jsonrpc-request server :shutdown nil)
      (jsonrpc-notify server :exit nil)
      (qm-wait (lambda () (not (process-live-p process))) 10)
      (qm-note "exit-status %s" (if (process-live-p process) "running"
                                  (process-exit-status process)))
      (qm-finish "ok"))
  (error (qm-note "error %S" err)
         (qm-finish "failed")))
